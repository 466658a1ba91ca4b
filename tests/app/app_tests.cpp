// The main window and the About window, offscreen, against a real program folder.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/Remedies.h"
#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "entry/frmNewLog.h"
#include "platform/App.h"
#include "platform/Controls.h"
#include "platform/Errors.h"
#include "platform/Twips.h"
#include "resources/Resources.h"
#include "store/Module1.h"
#include "support/TestSupport.h"

using namespace wt::test;

namespace {

QRect twipsRect(const QWidget* w)
{
    const QRect g = w->geometry();
    return {platform::twips(g.x()), platform::twips(g.y()), platform::twips(g.width()), platform::twips(g.height())};
}

} // namespace

TEST(MainWindow, StartUpLeavesTheSharedObjectsClosedAndShowsThePicture)
{
    ProgramFolder folder;
    Seams seams;
    frmMain main;
    ASSERT_TRUE(main.showNormal());
    EXPECT_TRUE(seams.errors.empty());
    EXPECT_EQ(main.windowTitle(), "Wingtrail");
    EXPECT_FALSE(main.windowIcon().isNull());
    ASSERT_TRUE(Module1::conLog && Module1::rsLog);
    EXPECT_FALSE(Module1::conLog->isOpen());
    EXPECT_FALSE(Module1::rsLog->isOpen());
    EXPECT_EQ(Module1::strImagePath, folder.path().toStdString() + "/images/Wingtrail.img");
    EXPECT_EQ(Module1::conLog->connectionString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder.databasePath() + ";Persist Security Info=False");
    EXPECT_FALSE(main.imgMain->pixmap().isNull());
    EXPECT_TRUE(main.imgMain->hasScaledContents());
    // Outer size 7320 x 4890 twips, the offscreen platform's frame included.
    EXPECT_EQ(main.outerWidthTwips(), 7320);
    EXPECT_EQ(main.outerHeightTwips(), 4890);
}

TEST(MainWindow, ControlsSitWhereTheyBelongInTwips)
{
    ProgramFolder folder;
    Seams seams;
    frmMain main;
    main.showNormal();
    struct Case { const char* name; QRect twips; };
    for (const Case& c : {Case{"picMain", {0, 0, 20430, 1155}}, Case{"cmdNewLog", {360, 1320, 1575, 615}},
                          Case{"cmdViewLog", {360, 3000, 1575, 615}}, Case{"imgMain", {2280, 1320, 4485, 2295}}}) {
        auto* w = main.findChild<QWidget*>(c.name);
        ASSERT_TRUE(w) << c.name;
        EXPECT_EQ(twipsRect(w), c.twips) << c.name;
    }
    EXPECT_EQ(main.cmdNewLog->text(), "File new Log");
    EXPECT_EQ(main.cmdViewLog->text(), "View Logbook");
    EXPECT_FALSE(main.cmdNewLog->isDefault());
    // The status bar spans the client area at its bottom, with one empty panel.
    auto* bar = main.StatusBar1;
    EXPECT_EQ(bar->geometry().bottom(), main.client()->height() - 1);
    EXPECT_EQ(bar->width(), main.client()->width());
    EXPECT_EQ(platform::twips(bar->height()), 270);
    auto panels = bar->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(platform::twips(panels[0]->width()), 1440);
    EXPECT_TRUE(panels[0]->text().isEmpty());
}

TEST(MainWindow, MenusCarryTheirMnemonicsAndHelpIsGreyed)
{
    ProgramFolder folder;
    Seams seams;
    frmMain main;
    const auto menus = main.findChild<QMenuBar*>()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Help");
    EXPECT_EQ(main.mnuExit->text(), "&Exit");
    EXPECT_EQ(main.mnuHelpWingtrail->text(), "Help& Wingtrail...");
    EXPECT_FALSE(main.mnuHelpWingtrail->isEnabled());
    EXPECT_EQ(main.mnuAbout->text(), "&About Wingtrail...");
    for (auto* a : main.mnuFile->actions() + main.mnuHelp->actions()) {
        EXPECT_TRUE(a->shortcut().isEmpty());
        EXPECT_FALSE(a->isSeparator());
    }
}

TEST(MainWindow, MinimumSizeRuleResetsBothSizes)
{
    ProgramFolder folder;
    Seams seams;
    frmMain main;
    main.showNormal();
    struct Case { const char* what; int w, h; int wantW, wantH; };
    for (const Case& c : {Case{"both large enough", 9000, 6000, 9000, 6000},
                          Case{"exactly the minimum", 7320, 4890, 7320, 4890},
                          Case{"too narrow", 6000, 6000, 7320, 4890},
                          Case{"too low, wide", 9000, 3000, 7320, 4890},
                          Case{"both too small", 3000, 2000, 7320, 4890}}) {
        main.setOuterSizeTwips(c.w, c.h);
        EXPECT_EQ(main.outerWidthTwips(), c.wantW) << c.what;
        EXPECT_EQ(main.outerHeightTwips(), c.wantH) << c.what;
    }
}

TEST(MainWindow, AMinimizedWindowIsLeftAlone)
{
    ProgramFolder folder;
    Seams seams;
    frmMain main;
    main.showNormal();
    main.setOuterSizeTwips(9000, 6000);
    main.setWindowState(Qt::WindowMinimized);
    main.resize(50, 40);
    EXPECT_EQ(main.size(), QSize(50, 40));
    EXPECT_EQ(main.windowStateValue(), platform::vbMinimized);
}

TEST(MainWindow, StartUpErrorsEndTheProgramBeforeTheWindowShows)
{
    struct Case {
        const char* what;
        std::function<void(const ProgramFolder&)> breakIt;
        const char* mentions;
        const char* remedy; // what the box adds below the description; "" for nothing
    };
    const Case cases[] = {
        {"missing logbook", [](const ProgramFolder& f) { QFile::remove(f.path() + "/Wingtrail.dat"); }, "Wingtrail.dat",
         "To start a new, empty one, run:\nwingtrail-createdb '%1/Wingtrail.dat'\nor start Wingtrail with its launcher"},
        {"logbook of random bytes",
         [](const ProgramFolder& f) {
             QFile file(f.path() + "/Wingtrail.dat");
             file.open(QIODevice::WriteOnly | QIODevice::Truncate);
             file.write(QByteArray(4096, '\x5a'));
         },
         "not a logbook database", ""},
        {"empty logbook",
         [](const ProgramFolder& f) {
             QFile file(f.path() + "/Wingtrail.dat");
             file.open(QIODevice::WriteOnly | QIODevice::Truncate);
         },
         "empty", ""},
        {"missing picture", [](const ProgramFolder& f) { QFile::remove(f.path() + "/images/Wingtrail.img"); }, "Wingtrail.img",
         "Put a picture file there (PNG, JPEG or BMP, named Wingtrail.img)"},
        {"picture that is not a picture",
         [](const ProgramFolder& f) {
             QFile file(f.path() + "/images/Wingtrail.img");
             file.open(QIODevice::WriteOnly | QIODevice::Truncate);
             file.write("this is text, not a picture");
         },
         "Invalid picture", "Put a picture file there"},
        // Opening it would wait for a writer for ever: no window, no error box.
        {"picture that is a named pipe",
         [](const ProgramFolder& f) {
             const QByteArray path = QFile::encodeName(f.path() + "/images/Wingtrail.img");
             QFile::remove(QFile::decodeName(path));
             ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
         },
         "Wingtrail.img' is not a regular file", "Put a picture file there"},
    };
    for (const Case& c : cases) {
        ProgramFolder folder;
        c.breakIt(folder);
        QFile db(folder.path() + "/Wingtrail.dat");
        QByteArray before;
        if (db.open(QIODevice::ReadOnly)) {
            before = db.readAll();
            db.close();
        }
        Seams seams;
        frmMain main;
        EXPECT_FALSE(main.showNormal()) << c.what;
        EXPECT_FALSE(main.isVisible()) << c.what;
        ASSERT_EQ(seams.errors.size(), 1u) << c.what;
        EXPECT_NE(seams.errors[0].description().find(c.mentions), std::string::npos)
            << c.what << ": " << seams.errors[0].description();
        if (db.open(QIODevice::ReadOnly)) {
            EXPECT_EQ(db.readAll(), before) << c.what << ": the logbook was changed";
        }
        // The box keeps the number and the description, and says what to do where there
        // is something to do.
        platform::setRemedyFinder([&](const store::RuntimeError& e) { return StartupRemedy(e, folder.path().toStdString()); });
        const QString box = platform::RuntimeErrorText(seams.errors[0]);
        platform::setRemedyFinder(nullptr);
        const QString plain = QStringLiteral("Run-time error '%1':\n\n%2")
                                  .arg(seams.errors[0].number())
                                  .arg(QString::fromStdString(seams.errors[0].description()));
        EXPECT_TRUE(box.startsWith(plain)) << c.what << ": " << box.toStdString();
        if (*c.remedy)
            EXPECT_TRUE(box.contains(QString::fromUtf8(c.remedy).arg(folder.path()))) << c.what << ": " << box.toStdString();
        else
            EXPECT_EQ(box, plain) << c.what;
    }
}



TEST(MainWindow, FocusGoesToFileNewLogWhenTheWindowIsActivated)
{
    ProgramFolder folder;
    Seams seams;
    frmMain main;
    main.showNormal();
    QApplication::setActiveWindow(&main);
    main.cmdViewLog->setFocus();
    // The About window opens over it and closes; the main window is active again.
    WhenShown([] {
        if (auto* about = OpenWindow("frmAbout"))
            QTest::keyClick(about, Qt::Key_Escape);
    });
    main.mnuAbout->trigger();
    EXPECT_EQ(main.focusWidget(), main.cmdNewLog);
}

TEST(MainWindow, ExitClosesTheWindow)
{
    ProgramFolder folder;
    Seams seams;
    frmMain main;
    main.showNormal();
    main.mnuExit->trigger();
    EXPECT_FALSE(main.isVisible());
}

TEST(About, VersionTextHasPlainNumbersAndOnePointBetween)
{
    EXPECT_EQ(VersionText(1, 0, 0), "Version 1.0.0");
    EXPECT_EQ(VersionText(2, 10, 7), "Version 2.10.7");
}

TEST(About, ShowsThisBuildsVersionAndClosesOnEnterEscapeAndOK)
{
    struct Case { const char* what; std::function<void(frmAbout*)> close; };
    for (const Case& c : {Case{"Enter", [](frmAbout* a) { QTest::keyClick(a, Qt::Key_Return); }},
                          Case{"Escape", [](frmAbout* a) { QTest::keyClick(a, Qt::Key_Escape); }},
                          Case{"OK", [](frmAbout* a) { a->cmdOK->click(); }}}) {
        frmAbout about;
        bool wasOpen = false;
        QString version;
        WhenShown([&] {
            wasOpen = about.isVisible();
            version = about.lblVersion->text();
            c.close(&about);
        });
        about.showModal(nullptr);
        EXPECT_TRUE(wasOpen) << c.what;
        EXPECT_FALSE(about.isVisible()) << c.what;
        EXPECT_EQ(version, "Version 1.0.0");
    }
}

TEST(About, LayoutInTwips)
{
    frmAbout about;
    EXPECT_EQ(about.windowTitle(), "About Wingtrail");
    EXPECT_EQ(about.clientWidthTwips(), 5730);
    EXPECT_EQ(about.clientHeightTwips(), 3555);
    struct Case { const char* name; QRect twips; };
    for (const Case& c : {Case{"cmdOK", {4125, 2760, 1380, 345}}, Case{"picIcon", {240, 240, 540, 540}},
                          Case{"lbWingtrail", {120, 2640, 3015, 255}}, Case{"lblVersion", {120, 3000, 3135, 255}}}) {
        auto* w = about.findChild<QWidget*>(c.name);
        ASSERT_TRUE(w) << c.name;
        EXPECT_EQ(twipsRect(w), c.twips) << c.name;
    }
    EXPECT_EQ(about.lbWingtrail->text(), "Wingtrail");
    // The etched separator: the shadow line above, the highlight line one pixel lower.
    EXPECT_EQ(about.Line1[1]->y() + 1, about.Line1[0]->y());
}

// The separator is drawn in the desktop's etch colours, so that it shows on a light and
// on a dark palette alike: each line stands out from the window behind it, the shadow line
// darker, the highlight lighter. A fixed white line vanishes on a light-on-dark desktop's
// highlight and a fixed grey one on its window.
TEST(About, EtchedSeparatorShowsOnLightAndDarkPalettes)
{
    const QPalette original = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Light, QColor(0x5a, 0x5a, 0x5a));
    dark.setColor(QPalette::Dark, QColor(0x12, 0x12, 0x12));
    QPalette light;
    light.setColor(QPalette::Window, QColor(0xf0, 0xf0, 0xf0));
    light.setColor(QPalette::Light, Qt::white);
    light.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    for (const auto& [what, palette] : {std::pair{"light", light}, std::pair{"dark", dark}}) {
        QApplication::setPalette(palette);
        frmAbout about;
        const QImage shot = about.grab().toImage();
        // The grab is in device pixels: twice the window's own at scale 2.
        const qreal r = shot.devicePixelRatio();
        auto at = [&](int x, int y) { return shot.pixelColor(qRound(x * r), qRound(y * r)); };
        const int x = about.Line1[0]->x() + 40;
        const QColor window = at(x, about.Line1[1]->y() - 6);
        const QColor shadow = at(x, about.Line1[1]->y());
        const QColor highlight = at(x, about.Line1[0]->y() + 1);
        EXPECT_EQ(window, palette.color(QPalette::Window)) << what;
        EXPECT_LT(shadow.lightness(), window.lightness()) << what << ": the shadow line does not show";
        EXPECT_GT(highlight.lightness(), window.lightness()) << what << ": the highlight line does not show";
    }
    QApplication::setPalette(original);
}

// Whatever style the desktop sets, the fixed boxes of the entry form get the room their
// style asks for: the text fits with its descenders, and the date picker and the combo
// keep their frames. (Fusion asks one pixel more than 315 twips for the combo and the date
// picker and draws them well in it; adwaita-qt asks 15 to 21 more.)
TEST(Look, TheEntryFormsBoxesFitWhateverStyleTheDesktopSets)
{
    const QString before = QApplication::style()->name();
    QStringList desktopStyles = QStyleFactory::keys();
    desktopStyles.removeAll(QStringLiteral("Fusion"));
    if (desktopStyles.isEmpty())
        GTEST_SKIP() << "no style but Fusion is installed (adwaita-qt6 is one)";
    for (const QString& desktop : desktopStyles) {
        SCOPED_TRACE(desktop.toStdString());
        QApplication::setStyle(QStyleFactory::create(desktop));
        platform::App::UseDesignedStyle();
        ProgramFolder folder;
        frmNewLog form;
        const QList<QWidget*> boxes = {static_cast<QWidget*>(form.txtDate), form.txtFrom,       form.txtTo,       form.txtDepTime,
                                       form.txtArrTime, form.txtFlightTime, form.txtAircraft, form.txtAirline,
                                       form.txtCallsign, form.txtFlightRule, form.txtPax,     form.txtCargo};
        for (QWidget* box : boxes)
            EXPECT_LE(box->minimumSizeHint().height(), box->height() + 1)
                << box->objectName().toStdString() << " is cut: " << box->height() << " pixels for the "
                << box->minimumSizeHint().height() << " its style needs";
    }
    QApplication::setStyle(QStyleFactory::create(before));
}

// Run at scale 1 and again with QT_SCALE_FACTOR=2 (app_tests_scale2): the banner and icon
// keep their logical sizes, and a high-density screen gets the 2x drawings instead of the
// scale-1 bitmaps blown up.
TEST(Pictures, BannerAndIconAreDrawnForTheScreensScale)
{
    ProgramFolder folder;
    Seams seams;
    const bool dense = qApp->devicePixelRatio() > 1.0;
    frmMain main;
    ASSERT_TRUE(main.showNormal());
    const QPixmap banner = main.picMain->pixmap();
    EXPECT_EQ(banner.deviceIndependentSize().toSize(), QSize(1358, 73));
    EXPECT_EQ(banner.size(), dense ? QSize(2716, 146) : QSize(1358, 73));
    EXPECT_EQ(main.picMain->size(), QSize(1362, 77));

    frmAbout about;
    const QPixmap icon = about.picIcon->pixmap();
    EXPECT_EQ(icon.deviceIndependentSize().toSize(), QSize(32, 32));
    EXPECT_EQ(icon.size(), dense ? QSize(64, 64) : QSize(32, 32));
    EXPECT_EQ(about.picIcon->size(), QSize(36, 36));
    for (qreal ratio : {1.0, 2.0})
        EXPECT_EQ(main.windowIcon().pixmap(QSize(32, 32), ratio).size(), QSize(32, 32) * ratio) << ratio;
}

TEST(Pictures, EveryScaleAboveOneGetsTheSharpBanner)
{
    struct Case { qreal ratio; QSize pixels; };
    for (const Case& c : {Case{1.0, {1358, 73}}, Case{1.25, {2716, 146}}, Case{1.5, {2716, 146}},
                          Case{2.0, {2716, 146}}, Case{3.0, {2716, 146}}}) {
        const QPixmap banner = resources::Banner(c.ratio);
        EXPECT_EQ(banner.size(), c.pixels) << c.ratio;
        EXPECT_EQ(banner.deviceIndependentSize().toSize(), QSize(1358, 73)) << c.ratio;
    }
}
