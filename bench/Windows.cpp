// The steps a user waits for inside the program, timed on the real windows: "View Logbook"
// until the overview is painted with its rows, the list fill alone, a header click until
// the sorted rows are painted, the new-entry window's load, a Save, closing the edit window
// and a Delete. The program runs no timer of its own; the zero-time timers here are the
// benchmark's, standing in for the user's next click.
#include <QApplication>
#include <QDate>
#include <QEventLoop>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <stdexcept>

#include "Dataset.h"
#include "Runs.h"
#include "Suite.h"
#include "app/frmMain.h"
#include "entry/frmEditLog.h"
#include "entry/frmNewLog.h"
#include "overview/frmOverviewLog.h"
#include "platform/App.h"
#include "platform/Controls.h"
#include "platform/MsgBox.h"
#include "store/Logbook.h"
#include "store/Module1.h"

#include <QComboBox>

namespace bench {

namespace {

// The shared objects as the main window's load leaves them: created, closed, pointed at
// the folder's logbook.
void UseProgramFolder(const std::string& folder)
{
    platform::App::setPath(QString::fromStdString(folder));
    Module1::conLog = std::make_shared<store::Connection>();
    Module1::conLog->setConnectionString(logbook::ConnectionString(folder));
    Module1::rsLog = std::make_shared<store::Recordset>();
}

void Release()
{
    Module1::rsEdit.reset();
    Module1::rsLog.reset();
    Module1::conLog.reset();
}

} // namespace

ListPaint::ListPaint() { qApp->installEventFilter(this); }
ListPaint::~ListPaint() { qApp->removeEventFilter(this); }

void ListPaint::arm(long rows, std::function<void(ListView*)> then)
{
    rows_ = rows;
    then_ = std::move(then);
    armed_ = true;
    done_ = false;
}

bool ListPaint::eventFilter(QObject* watched, QEvent* event)
{
    if (armed_ && event->type() == QEvent::Paint) {
        auto* view = qobject_cast<ListView*>(watched->parent());
        if (view && watched == view->viewport() && view->model()->rowCount() == rows_) {
            armed_ = false;
            // The paint runs after this filter; the next turn of the event loop comes once
            // it and the flush to the screen are done.
            QTimer::singleShot(0, this, [this, view] {
                done_ = true;
                if (then_)
                    then_(view);
                if (loop_)
                    loop_->quit();
            });
        }
    }
    return false;
}

bool ListPaint::wait(int timeoutMs)
{
    if (done_)
        return true;
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    loop_ = nullptr;
    return done_;
}

namespace {

// Lets a window that was just shown paint before anything is timed.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

template <class T> T* openWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<T*>(w); f && f->isVisible())
            return f;
    return nullptr;
}

void viewLogbook(const Setup& s, Samples& out)
{
    platform::App::setPath(QString::fromStdString(s.folder));
    frmMain main;
    if (!main.showNormal())
        throw std::runtime_error("the main window failed to load");
    settle();
    ListPaint paint;
    double ms = -1;
    long rows = -1;
    Stopwatch clock;
    paint.arm(s.n, [&](ListView* list) {
        ms = clock.ms();
        rows = list->count();
        list->window()->close();
    });
    // A list that never shows its rows must not hang the run.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* f = openWindow<frmOverviewLog>())
            f->close();
    });
    guard.start(300000);
    clock = Stopwatch();
    main.cmdViewLog->click();  // returns once the overview has closed again
    if (ms < 0)
        throw std::runtime_error("the overview closed before its rows were painted");
    out.expectRows("the overview after \"View Logbook\"", rows, s.n);
    out.add("view", ms);
    main.Unload();
    Release();
}

void fillAlone(const Setup& s, Samples& out)
{
    UseProgramFolder(s.folder);
    {
        frmOverviewLog form;
        if (!form.Load())
            throw std::runtime_error("the overview window failed to load");
        Module1::rsLog->Close();
        Module1::rsLog->Open(logbook::kSelectAll, *Module1::conLog);
        form.lstOverview->clear();
        Stopwatch clock;
        form.FillOverviewList();
        out.add("fill", clock.ms());
        out.expectRows("FillOverviewList", form.lstOverview->count(), s.n);
        form.Unload();
    }
    Release();
}

// The overview shown and painted with all of its rows, ready for a click.
struct ShownOverview {
    explicit ShownOverview(const std::string& folder)
    {
        UseProgramFolder(folder);
        if (!form.Load())
            throw std::runtime_error("the overview window failed to load");
        rows = form.lstOverview->count();
        paint.arm(rows, {});
        form.showNormal();
        if (!paint.wait())
            throw std::runtime_error("the overview was not painted");
    }
    ~ShownOverview()
    {
        form.Unload();
        Release();
    }
    void select(int row)
    {
        form.lstOverview->text(0, 0);  // brings the rows up to date
        form.lstOverview->setCurrentIndex(form.lstOverview->model()->index(row, 0));
    }
    frmOverviewLog form;
    ListPaint paint;
    long rows = 0;
};

void headerSorts(const Setup& s, Samples& out)
{
    for (int c : s.columns) {
        ShownOverview o(s.folder);
        double ms = -1;
        Stopwatch clock;
        o.paint.arm(o.rows, [&](ListView*) { ms = clock.ms(); });
        clock = Stopwatch();
        // What a click on the header sends.
        emit o.form.lstOverview->header()->sectionClicked(c - 1);
        if (!o.paint.wait() || ms < 0)
            throw std::runtime_error("the sorted list was not painted");
        out.add("sort " + std::to_string(c), ms);
        if (!o.form.lstOverview->Sorted())
            out.wrong("a first header click left the list unsorted");
        out.expectRows("a sort", o.form.lstOverview->count(), s.n);
    }
}

void newEntryLoad(const Setup& s, Samples& out)
{
    // Alternating, several times: the load takes about a millisecond.
    for (int i = 0; i < 10; ++i)
        for (const auto& [key, folder] : {std::pair{"newentry", s.folder}, std::pair{"newentry empty", s.empty}}) {
            UseProgramFolder(folder);
            {
                frmNewLog form;
                Stopwatch clock;
                if (!form.Load())
                    throw std::runtime_error("the new-entry window failed to load");
                out.add(key, clock.ms());
                form.Unload();
            }
            Release();
        }
}

void typeFlight(LogEntryForm& f, int i)
{
    f.txtDate->setDate(QDate(2024, 5, 1).addDays(i));
    f.txtFrom->setText(QStringLiteral("EDDF"));
    f.txtTo->setText(QStringLiteral("EGLL"));
    f.txtDepTime->setText(QStringLiteral("08:15"));
    f.txtArrTime->setText(QStringLiteral("09:05"));
    f.txtFlightTime->setText(QStringLiteral("01:50"));
    f.txtAircraft->setText(QStringLiteral("A320"));
    f.txtAirline->setText(QStringLiteral("Lufthansa"));
    f.txtCallsign->setText(QStringLiteral("DLH900"));
    f.txtFlightRule->setCurrentText(QStringLiteral("IFR"));
    f.txtPax->setText(QStringLiteral("150"));
    f.txtCargo->setText(QStringLiteral("2000"));
    f.txtRemarks->setPlainText(QStringLiteral("Benchmark flight"));
    f.txtRoute->setPlainText(QStringLiteral("OBOKA UZ29 TOTRI"));
}

void saves(const Setup& s, Samples& out)
{
    constexpr int kSaves = 5;
    const std::string database = s.scratch + "/Wingtrail.dat";
    UseProgramFolder(s.scratch);
    {
        frmNewLog form;
        if (!form.Load())
            throw std::runtime_error("the new-entry window failed to load");
        double ms = -1;
        Stopwatch clock;
        // The question appears once the entry is on disk. While it is shown the window's
        // connection holds no lock, so the baseline's INSERT goes to the same file right
        // then: each Save and its baseline meet the disk in the same state. The answer Yes
        // keeps the window open on a fresh record for the next Save.
        platform::setMsgBoxHandler([&](const platform::MsgBoxCall&) {
            ms = clock.ms();
            out.add("insert", InsertFloor(database).ms);
            return int(platform::vbYes);
        });
        for (int i = 0; i < kSaves; ++i) {
            typeFlight(form, i);
            ms = -1;
            clock = Stopwatch();
            form.cmdSave->click();
            if (ms < 0)
                throw std::runtime_error("Save asked no question");
            out.add("save", ms);
        }
        platform::setMsgBoxHandler({});
        form.Unload();
    }
    Release();
}

void editClose(const Setup& s, Samples& out)
{
    ShownOverview o(s.scratch);
    // An entry the edit window can take (its number fits intLogId).
    o.select(static_cast<int>(std::min<long>(o.rows / 2, 30000)));
    double ms = -1;
    Stopwatch clock;
    QTimer::singleShot(0, [&] {
        auto* edit = openWindow<frmEditLog>();
        if (!edit)
            return;
        o.paint.arm(o.rows, [&](ListView*) { ms = clock.ms(); });
        clock = Stopwatch();
        edit->close();  // the window's close control
    });
    o.form.cmdEdit_Click();  // returns once the edit window has closed
    if (!o.paint.wait() || ms < 0)
        throw std::runtime_error("the edit window did not close, or the list was not painted again");
    out.add("editclose", ms);
    out.expectRows("the refill after editing", o.form.lstOverview->count(), o.rows);
}

void deletes(const Setup& s, Samples& out)
{
    ShownOverview o(s.scratch);
    o.select(static_cast<int>(o.rows / 3 + s.rep));
    double ms = -1;
    Stopwatch clock;
    // Steps 1 and 2 are the question; the clock starts with the answer.
    platform::setMsgBoxHandler([&](const platform::MsgBoxCall&) {
        o.paint.arm(o.rows - 1, [&](ListView*) { ms = clock.ms(); });
        clock = Stopwatch();
        return int(platform::vbYes);
    });
    o.form.cmdDelete_Click();
    platform::setMsgBoxHandler({});
    if (!o.paint.wait() || ms < 0)
        throw std::runtime_error("Delete did not refill and paint the list");
    out.add("delete", ms);
    out.expectRows("the refill after a delete", o.form.lstOverview->count(), o.rows - 1);
}

void scan(const Setup& s, Samples& out)
{
    const Timed t = ScanFloor(s.database());
    out.expectRows("the scan", t.rows, s.n);
    out.add("scan", t.ms);
}

void orderBy(const Setup& s, Samples& out)
{
    for (int c : s.columns)
        out.add("orderby " + std::to_string(c), ScanFloor(s.database(), c).ms);
}

} // namespace

void AddWindowSteps(Suite& suite)
{
    suite.add(Measurement{"scan", scan});
    suite.add(Measurement{"orderby", orderBy});
    suite.add(Measurement{"view", viewLogbook});
    suite.add(Measurement{"fill", fillAlone});
    suite.add(Measurement{"sort", headerSorts});
    suite.add(Measurement{"newentry", newEntryLoad});
    suite.add(Measurement{"save", saves});
    suite.add(Measurement{"editclose", editClose});
    suite.add(Measurement{"delete", deletes});

    suite.add(Row{"\"View Logbook\" until the overview is painted with all rows", "view", "scan", "(scan)", 1.5});
    suite.add(Row{"FillOverviewList alone", "fill", "scan", "(scan)", 1.2});
    for (int c : suite.columns)
        suite.add(Row{std::string("header click \"") + HeaderOfColumn(c) + "\" until the sorted rows are painted",
                      "sort " + std::to_string(c), "orderby " + std::to_string(c),
                      std::string("(ORDER BY ") + FieldOfColumn(c) + " DESC)", 0.3});
    suite.add(Row{"new-entry window load", "newentry", "newentry empty", "(empty logbook)", 1.1});
    suite.add(Row{"one Save, on disk when the question appears", "save", "insert", "(bare INSERT, same sync)", 1.5, 1.0});
    suite.add(Row{"closing the edit window until the list is painted again", "editclose", "scan", "(scan)", 1.3});
    suite.add(Row{"Delete, from the answer until the list is painted again", "delete", "scan", "(scan)", 1.3, 5.0});
}

} // namespace bench
