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
// One line of the etched separator: a solid bar of the given colour and pen width.
QWidget* makeLine(QWidget* parent, const QString& name, const QColor& colour, int x1, int x2, int y, int widthPx)
{
    auto* line = new QWidget(parent);
    line->setObjectName(name);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, colour);
    line->setPalette(pal);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1), widthPx);
    return line;
}
} // namespace

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Wingtrail"));
    // A fixed dialog: no sizing, no minimize or maximize, no task bar button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
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

    // The etched separator: a grey line with a white one a pixel below it.
    Line1[1] = makeLine(c, QStringLiteral("Line1_1"), QColor(0x80, 0x80, 0x80), 90, 5654, 2445, 1);
    Line1[0] = makeLine(c, QStringLiteral("Line1_0"), Qt::white, 105, 5654, 2460, 2);

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
