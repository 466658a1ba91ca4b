// Wingtrail: a logbook for flights flown in a flight simulator.
#include <QApplication>

#include "app/Remedies.h"
#include "app/frmMain.h"
#include "platform/App.h"
#include "platform/Errors.h"
#include "resources/Resources.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wingtrail"));
    QGuiApplication::setDesktopFileName(QStringLiteral(WT_APP_ID));
    platform::App::UseDesignedStyle();
    resources::Init();
    QApplication::setWindowIcon(resources::ProgramIcon());

    // An error box that stops the program says what to do where the cause is one of its files.
    platform::setRemedyFinder([](const store::RuntimeError& error) {
        return StartupRemedy(error, platform::App::Path().toStdString());
    });

    frmMain main;
    // A failing start-up ends the program through the general error handler before
    // the window is shown.
    if (!main.showNormal())
        return 1;
    return app.exec();
}
