// Measurements in processes of their own: the program's start-up, beside a process that
// shows one empty Qt window, and the resident memory of a fresh process with the overview
// open and after opening and closing it again and again.
//
// First paint is seen from outside through Qt's own painting log (the category
// qt.widgets.painting): Qt writes "Flushing ..." when a window's first painted contents go
// to the screen. Both the program and the empty window are started the same way and timed
// from just before the process is spawned until that line arrives, so both pay for the
// same logging.
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Runs.h"
#include "Suite.h"
#include "app/frmMain.h"
#include "overview/ListView.h"
#include "overview/frmOverviewLog.h"
#include "platform/App.h"
#include "platform/Errors.h"
#include "resources/Resources.h"

extern char** environ;

namespace bench {

namespace {

constexpr int kChildTimeoutMs = 300000;

struct Child {
    pid_t pid = -1;
    int out = -1;  // the child's stdout
    int err = -1;  // the child's stderr
};

Child spawn(const std::vector<std::string>& argv, bool paintLog)
{
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
        posix_spawn_file_actions_addclose(&actions, fd);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 && std::strncmp(*e, "QT_LOGGING_RULES=", 17) != 0)
            env.emplace_back(*e);
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    if (paintLog)
        env.emplace_back("QT_LOGGING_RULES=qt.widgets.painting=true");
    std::vector<char*> envp, args;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (auto& a : argvCopy)
        args.push_back(a.data());
    args.push_back(nullptr);

    Child c;
    const int rc = posix_spawn(&c.pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
    c.out = outPipe[0];
    c.err = errPipe[0];
    return c;
}

// Reads the child's stderr until a line holds `marker`; false at its end or the time-out.
bool waitForLine(const Child& c, const char* marker, std::string& seen)
{
    std::string buffer;
    Stopwatch clock;
    while (clock.ms() < kChildTimeoutMs) {
        pollfd p{c.err, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0)
            continue;
        char chunk[4096];
        const ssize_t got = read(c.err, chunk, sizeof chunk);
        if (got <= 0)
            break;
        buffer.append(chunk, static_cast<std::size_t>(got));
        if (buffer.find(marker) != std::string::npos)
            return true;
    }
    seen = buffer.substr(0, 2000);
    return false;
}

void finish(Child& c, bool kill)
{
    if (kill)
        ::kill(c.pid, SIGKILL);
    int status = 0;
    waitpid(c.pid, &status, 0);
    close(c.out);
    close(c.err);
}

// Milliseconds from the spawn until the first painted window reaches the screen.
double untilFirstPaint(const std::vector<std::string>& argv)
{
    Stopwatch clock;
    Child c = spawn(argv, true);
    std::string seen;
    const bool painted = waitForLine(c, "Flushing", seen);
    const double ms = clock.ms();
    finish(c, true);
    if (!painted)
        throw std::runtime_error(argv[0] + " painted no window; it said: " + seen);
    return ms;
}

void startup(const Setup& s, Samples& out)
{
    out.add("startup", untilFirstPaint({s.scratch + "/wingtrail"}));
    out.add("window", untilFirstPaint({QCoreApplication::applicationFilePath().toStdString(), "--child", "window"}));
    out.add("label window", untilFirstPaint({QCoreApplication::applicationFilePath().toStdString(), "--child", "label"}));
}

// The figures a memory child prints, by name.
std::map<std::string, double> memoryChild(const std::string& folder, long rows)
{
    Child c = spawn({QCoreApplication::applicationFilePath().toStdString(), "--child", "memory", folder,
                     std::to_string(rows)},
                    false);
    std::string text, errors;
    Stopwatch clock;
    bool outOpen = true, errOpen = true;
    while ((outOpen || errOpen) && clock.ms() < kChildTimeoutMs) {
        pollfd p[2] = {{outOpen ? c.out : -1, POLLIN, 0}, {errOpen ? c.err : -1, POLLIN, 0}};
        if (poll(p, 2, 1000) <= 0)
            continue;
        char chunk[4096];
        if (p[0].revents) {
            const ssize_t got = read(c.out, chunk, sizeof chunk);
            if (got <= 0)
                outOpen = false;
            else
                text.append(chunk, static_cast<std::size_t>(got));
        }
        if (p[1].revents) {
            const ssize_t got = read(c.err, chunk, sizeof chunk);
            if (got <= 0)
                errOpen = false;
            else if (errors.size() < 2000)
                errors.append(chunk, static_cast<std::size_t>(got));
        }
    }
    finish(c, outOpen || errOpen);
    std::map<std::string, double> figures;
    std::istringstream in(text);
    for (std::string name; in >> name;) {
        double v = 0;
        in >> v;
        figures[name] = v;
    }
    for (const char* k : {"main", "open", "after1", "after21"})
        if (!figures.count(k))
            throw std::runtime_error("the memory run on " + folder + " printed no '" + k + "' figure: " + text + errors);
    return figures;
}

void memory(const Setup& s, Samples& out)
{
    const auto full = memoryChild(s.folder, s.n);
    const auto empty = memoryChild(s.empty, 0);
    out.add("rss open", full.at("open"));
    out.add("rss open empty", empty.at("open"));
    out.add("rss open per entry", (full.at("open") - empty.at("open")) / static_cast<double>(s.n));
    // The first opening leaves caches behind that every later one reuses (glyphs, the
    // style's pictures, the heap's high-water mark): shown apart from what 20 more add.
    out.add("rss first opening", full.at("after1") - full.at("main"));
    out.add("rss growth 20", full.at("after21") - full.at("after1"));
}

long residentAsIs() { return ResidentBytes(false); }

// The main window as the program starts it, then the overview opened and closed once and
// then 20 times more, each time until its rows were painted. Prints the resident set at each stage as the
// system sees it (nothing trimmed).
int memoryRun(const std::string& folder, long rows, int cycles)
{
    QApplication::setQuitOnLastWindowClosed(false);
    platform::App::setPath(QString::fromStdString(folder));
    frmMain main;
    if (!main.showNormal())
        return 3;
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("main %ld\n", residentAsIs());
    ListPaint paint;
    QTimer guard;  // a list that never shows its rows must not hang the run
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<frmOverviewLog*>(w))
                w->close();
    });
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        bool painted = false;
        paint.arm(rows, [&](ListView* list) {
            painted = true;
            if (cycle == 1)
                std::printf("open %ld\n", residentAsIs());
            list->window()->close();
        });
        guard.start(kChildTimeoutMs);
        main.cmdViewLog->click();
        if (!painted) {
            std::fprintf(stderr, "the overview closed before its rows were painted\n");
            return 3;
        }
        if (cycle == 1)
            std::printf("after1 %ld\n", residentAsIs());
        else if (cycle % 10 == 1)
            std::printf("after%d %ld\n", cycle, residentAsIs());
    }
    std::fflush(stdout);
    return 0;
}

} // namespace

int RunChild(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string what = argc > 2 ? argv[2] : "";
    if (what == "window") {
        QWidget window;
        window.resize(488, 326);
        window.show();
        return app.exec();
    }
    if (what == "label") {
        // The same with one line of text: the first text a process draws sets up its fonts.
        QLabel window(QStringLiteral("Wingtrail"));
        window.resize(488, 326);
        window.show();
        return app.exec();
    }
    if (what == "memory" && (argc == 5 || argc == 6)) {
        QApplication::setApplicationName(QStringLiteral("Wingtrail"));
        resources::Init();
        QApplication::setWindowIcon(resources::ProgramIcon());
        platform::setRuntimeErrorHandler([](const store::RuntimeError& e) {
            std::fprintf(stderr, "run-time error %ld: %s\n", e.number(), e.what());
            std::exit(3);
        });
        return memoryRun(argv[3], std::stol(argv[4]), argc == 6 ? std::stoi(argv[5]) : 21);
    }
    std::fprintf(stderr, "wingtrail-bench: unknown child run\n");
    return 2;
}

void AddProcessSteps(Suite& suite)
{
    suite.add(Measurement{"startup", startup});
    suite.add(Measurement{"memory", memory, true});
    suite.add(Row{"start-up until the main window is painted", "startup", "window", "(one empty Qt window)", 1.5});
    suite.add(Row{"start-up, beside a window showing one label", "startup", "label window", "(one Qt label)", 0});
    suite.add(Row{"resident memory, overview open, above the empty logbook's", "rss open per entry", "", "", 200, 0,
                  Unit::BytesPerEntry});
    suite.add(Row{"resident memory growth over 20 openings and closings of the overview after the first", "rss growth 20",
                  "", "", 1024 * 1024, 0, Unit::Bytes});
    suite.add(Row{"resident memory, overview open", "rss open", "", "", 0, 0, Unit::Bytes});
    suite.add(Row{"resident memory, overview open on the empty logbook", "rss open empty", "", "", 0, 0, Unit::Bytes});
    suite.add(Row{"resident memory left by the first opening and closing", "rss first opening", "", "", 0, 0,
                  Unit::Bytes});
}

} // namespace bench
