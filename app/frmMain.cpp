#include "app/frmMain.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "app/frmAbout.h"
#include "entry/frmNewLog.h"
#include "overview/frmOverviewLog.h"
#include "platform/App.h"
#include "platform/Controls.h"
#include "platform/Errors.h"
#include "platform/Picture.h"
#include "platform/Twips.h"
#include "resources/Resources.h"
#include "store/Logbook.h"
#include "store/Module1.h"

using platform::pxRect;

frmMain::frmMain()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Wingtrail"));
    setWindowIcon(resources::ProgramIcon());

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("&Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    // There is no help to show yet: the item is there, but greyed.
    mnuHelpWingtrail = mnuHelp->addAction(QStringLiteral("Help& Wingtrail..."));
    mnuHelpWingtrail->setObjectName(QStringLiteral("mnuHelpWingtrail"));
    mnuHelpWingtrail->setEnabled(false);
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About Wingtrail..."));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    QWidget* c = client();
    StatusBar1 = new platform::StatusBar(c);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(pxRect(0, 4215, 7200, 270));
    dockBottom(StatusBar1);

    picMain = platform::MakePictureBox(c, QStringLiteral("picMain"), resources::Banner(), 0, 0);
    picMain->setAccessibleName(QStringLiteral("Wingtrail banner"));

    cmdNewLog = new QPushButton(QStringLiteral("File new Log"), c);
    cmdNewLog->setObjectName(QStringLiteral("cmdNewLog"));
    cmdNewLog->setGeometry(pxRect(360, 1320, 1575, 615));
    cmdViewLog = new QPushButton(QStringLiteral("View Logbook"), c);
    cmdViewLog->setObjectName(QStringLiteral("cmdViewLog"));
    cmdViewLog->setGeometry(pxRect(360, 3000, 1575, 615));
    for (auto* b : {cmdNewLog, cmdViewLog}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    imgMain = platform::MakeImage(c, QStringLiteral("imgMain"), 2280, 1320, 4485, 2295);
    imgMain->setAccessibleName(QStringLiteral("Picture"));

    setTabOrder(picMain, cmdNewLog);
    setTabOrder(cmdNewLog, cmdViewLog);
    setClientSizeTwips(7200, 4485);

    platform::OnClick(cmdNewLog, [this] { cmdNewLog_Click(); });
    platform::OnClick(cmdViewLog, [this] { cmdViewLog_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { platform::Guard([this] { mnuAbout_Click(); }); });
    connect(mnuExit, &QAction::triggered, this, [this] { platform::Guard([this] { mnuExit_Click(); }); });
}

void frmMain::Form_Load()
{
    using namespace Module1;
    setOuterSizeTwips(kMinWidth, kMinHeight);
    conLog = std::make_shared<store::Connection>();
    rsLog = std::make_shared<store::Recordset>();
    const std::string folder = platform::App::Path().toStdString();
    conLog->setConnectionString(logbook::ConnectionString(folder));
    // Proves at start that the logbook can be opened; nothing is read.
    conLog->Open();
    strImagePath = logbook::ProgramFile(folder, logbook::kImageFile);
    imgMain->setPixmap(platform::LoadPicture(QString::fromStdString(strImagePath)));
    conLog->Close();
}

void frmMain::Form_Activate() { cmdNewLog->setFocus(); }

void frmMain::Form_Resize()
{
    if (outerWidthTwips() >= kMinWidth && outerHeightTwips() >= kMinHeight)
        return;
    if (windowStateValue() == platform::vbMinimized)
        return;
    // Both sizes go back, also the one that was large enough.
    setOuterSizeTwips(kMinWidth, kMinHeight);
}

void frmMain::cmdNewLog_Click()
{
    frmNewLog form;
    form.showModal(this);
}

void frmMain::cmdViewLog_Click()
{
    frmOverviewLog form;
    form.showModal(this);
}

void frmMain::mnuAbout_Click()
{
    frmAbout form;
    form.showModal(this);
}

void frmMain::mnuExit_Click() { Unload(); }
