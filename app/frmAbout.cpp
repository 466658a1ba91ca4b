#include "app/frmAbout.h"

#include <QPushButton>

#include "platform/App.h"
#include "platform/Controls.h"
#include "platform/Twips.h"
#include "resources/Resources.h"

using platform::px;
using platform::pxRect;

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

namespace {
// One line of the etched separator: a solid bar in one of the palette's etch colours, so
// that it follows the desktop's palette, light or dark, as a sunken frame line does.
QWidget* makeLine(QWidget* parent, const QString& name, QPalette::ColorRole colour, int x1, int x2, int y, int widthPx)
{
    auto* line = new QWidget(parent);
    line->setObjectName(name);
    line->setAutoFillBackground(true);
    line->setBackgroundRole(colour);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1), widthPx);
    return line;
}
} // namespace

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Wingtrail"));
    // A fixed dialog: no sizing, no minimize or maximize, no task bar button. The buttons
    // are named one by one: a dialog left to the defaults gets minimize and maximize from
    // an X11 window manager.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(resources::ProgramIcon());
    QWidget* c = client();

    cmdOK = new QPushButton(QStringLiteral("OK"), c);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(pxRect(4125, 2760, 1380, 345));
    setDefaultButton(cmdOK);
    setCancelButton(cmdOK);

    picIcon = platform::MakePictureBox(c, QStringLiteral("picIcon"), resources::ProgramIcon().pixmap(32, 32), 240, 240);
    picIcon->setAccessibleName(QStringLiteral("Wingtrail icon"));
    lbWingtrail = platform::MakeLabel(c, QStringLiteral("lbWingtrail"), QStringLiteral("Wingtrail"), 120, 2640, 3015, 255);
    lblVersion = platform::MakeLabel(c, QStringLiteral("lblVersion"), QStringLiteral("Version"), 120, 3000, 3135, 255);

    // The etched separator: the shadow line (grey on a light desktop) with the highlight
    // line (white there) a pixel below it.
    Line1[1] = makeLine(c, QStringLiteral("Line1_1"), QPalette::Dark, 90, 5654, 2445, 1);
    Line1[0] = makeLine(c, QStringLiteral("Line1_0"), QPalette::Light, 105, 5654, 2460, 2);

    setTabOrder(cmdOK, picIcon);
    setClientSizeTwips(5730, 3555);
    setFixedSize(size());
    placeClientAtTwips(2340, 1935);

    platform::OnClick(cmdOK, [this] { Unload(); });
}

void frmAbout::Form_Load()
{
    lblVersion->setText(VersionText(platform::App::Major(), platform::App::Minor(), platform::App::Revision()));
}
