// Wingtrail: a logbook for flights flown in a flight simulator.
#include <QApplication>

#include "app/frmMain.h"
#include "resources/Resources.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wingtrail"));
    QGuiApplication::setDesktopFileName(QStringLiteral(WT_APP_ID));
    resources::Init();
    QApplication::setWindowIcon(resources::ProgramIcon());

    frmMain main;
    // A failing start-up ends the program through the general error handler before
    // the window is shown.
    if (!main.showNormal())
        return 1;
    return app.exec();
}
