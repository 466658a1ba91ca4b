// wingtrail-bench: how long a user waits for each step of the program on big logbooks,
// each beside a baseline measured in the same run (what SQLite alone needs for the same
// rows, an empty Qt window, an empty logbook). Prints one Markdown table per logbook size,
// every sample, and the ratios of all sizes; docs/PERFORMANCE.md explains the figures.
//
// Measurements live in files of their own, each registering its runs and its table rows
// through one Add...(Suite&) function called below.
#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/utsname.h>
#include <vector>

#include "Dataset.h"
#include "Logbook.h"
#include "Runs.h"
#include "Suite.h"
#include "platform/Errors.h"
#include "resources/Resources.h"

namespace bench {
void AddWindowSteps(Suite& suite);   // Windows.cpp
void AddProcessSteps(Suite& suite);  // Processes.cpp
void AddPeer(Suite& suite);          // Peer.cpp
int RunChild(int argc, char** argv); // Processes.cpp: the processes the benchmark starts
} // namespace bench

namespace {

using namespace bench;

struct Options {
    std::vector<long> sizes = {10000, 100000, 1000000};
    int reps = 0;  // 0: 5 up to 10^5 entries, 3 above
    std::string dir = "/tmp/wingtrail-bench";
    std::vector<int> columns = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    std::set<std::string> only;  // empty: everything not opt-in
    bool smoke = false;
};

[[noreturn]] void usage(int status)
{
    std::fputs(
        "usage: wingtrail-bench [--n N[,N...]] [--reps R] [--dir DIR] [--columns C[,C...]|none]\n"
        "                       [--only NAME[,NAME...]] [--smoke]\n"
        "  --n        logbook sizes (default 10000,100000,1000000; 1e5 is accepted)\n"
        "  --reps     runs of each measurement (default 5 up to 10^5 entries, 3 above)\n"
        "  --dir      where generated logbooks are kept between runs (default /tmp/wingtrail-bench)\n"
        "  --columns  1-based overview columns to sort by (default all 14)\n"
        "  --only     run only these measurements: scan, orderby, view, fill, sort, newentry, save,\n"
        "             editclose, delete, startup, memory, and peer (a QTreeWidget, never by default)\n"
        "  --smoke    one run of everything on a tiny logbook in a temporary folder\n",
        status ? stderr : stdout);
    std::exit(status);
}

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string item; std::getline(s, item, ',');)
        if (!item.empty())
            out.push_back(item);
    return out;
}

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage(2);
            return argv[++i];
        };
        try {
            if (a == "--n") {
                o.sizes.clear();
                for (const auto& n : split(value()))
                    o.sizes.push_back(static_cast<long>(std::stod(n)));
            } else if (a == "--reps") {
                o.reps = std::stoi(value());
            } else if (a == "--dir") {
                o.dir = value();
            } else if (a == "--columns") {
                o.columns.clear();
                const std::string v = value();
                if (v != "none")
                    for (const auto& c : split(v))
                        o.columns.push_back(std::stoi(c));
            } else if (a == "--only") {
                for (const auto& w : split(value()))
                    o.only.insert(w);
            } else if (a == "--smoke") {
                o.smoke = true;
            } else if (a == "--help" || a == "-h") {
                usage(0);
            } else {
                usage(2);
            }
        } catch (const std::logic_error&) {  // stoi/stod on a non-number
            usage(2);
        }
    }
    for (long n : o.sizes)
        if (n < 10)
            usage(2);
    for (int c : o.columns)
        if (c < 1 || c > 14)
            usage(2);
    if (o.smoke) {
        o.sizes = {300};
        o.reps = 1;
        o.columns = {1, 13};
    }
    return o;
}

bool wanted(const Options& o, const Measurement& m)
{
    return o.only.empty() ? !m.optIn : o.only.count(m.name) > 0;
}

std::string machine()
{
    std::string cpu = "?";
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    utsname u{};
    uname(&u);
    return cpu + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + u.sysname + " " + u.release
        + ", Qt " + qVersion();
}

Samples measure(const Suite& suite, const Options& o, long n)
{
    Setup s;
    s.n = n;
    s.columns = o.columns;
    s.folder = PrepareLogbook(o.dir, n);
    PlacePicture(s.folder);
    // Writes go to a copy that is made again for every run of the benchmark.
    const std::string program = (QCoreApplication::applicationDirPath() + "/wingtrail").toStdString();
    s.scratch = MakeProgramFolder(o.dir + "/" + std::to_string(n) + "-scratch", s.database(), program);
    s.empty = MakeProgramFolder(o.dir + "/empty", "");
    const int reps = o.reps > 0 ? o.reps : (n <= 100000 ? 5 : 3);
    const std::string loadBefore = LoadAverage();

    Samples samples;
    ScanFloor(s.database());  // brings the file into the page cache before anything is timed
    // Every measurement once a repetition, in turn, so that a change in the machine's load
    // falls on ours and the baselines alike.
    for (int rep = 0; rep < reps; ++rep) {
        s.rep = rep;
        for (const Measurement& m : suite.measurements())
            if (wanted(o, m) && !m.oncePerSize) {
                std::fprintf(stderr, "\r  %ld entries, run %d of %d: %-12s", n, rep + 1, reps, m.name.c_str());
                m.run(s, samples);
            }
    }
    for (const Measurement& m : suite.measurements())
        if (wanted(o, m) && m.oncePerSize) {
            std::fprintf(stderr, "\r  %ld entries: %-24s", n, m.name.c_str());
            m.run(s, samples);
        }
    std::fprintf(stderr, "\r%60s\r", "");

    std::printf("\n### %ld entries\n\n%d runs of each measurement (the memory figures: one run); load average %s "
                "before, %s after.\n\n",
                n, reps, loadBefore.c_str(), LoadAverage().c_str());
    PrintSize(suite, samples, n);
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--child")
        return RunChild(argc, argv);
    const Options options = parse(argc, argv);
    // Without a display the offscreen platform is the only one that works; with one, the
    // windows would flicker over the user's screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wingtrail"));
    QApplication::setQuitOnLastWindowClosed(false);
    resources::Init();
    platform::setRuntimeErrorHandler([](const store::RuntimeError& e) {
        std::fprintf(stderr, "run-time error %ld: %s\n", e.number(), e.what());
        std::exit(3);
    });

    Suite suite;
    suite.columns = options.columns;
    AddProcessSteps(suite);
    AddWindowSteps(suite);
    AddPeer(suite);
    AddLogbookSteps(suite);
    for (const auto& name : options.only)
        if (!suite.knows(name))
            usage(2);

    QTemporaryDir smokeDir;
    Options o = options;
    if (o.smoke)
        o.dir = smokeDir.path().toStdString();

    std::printf("wingtrail-bench on %s; load average %s at the start.\n", machine().c_str(), LoadAverage().c_str());
    std::vector<std::pair<long, Samples>> sizes;
    try {
        for (long n : o.sizes)
            sizes.emplace_back(n, measure(suite, o, n));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "\nwingtrail-bench: %s\n", e.what());
        return 3;
    }
    PrintSummary(suite, sizes);
    bool wrong = false;
    for (const auto& [n, s] : sizes)
        for (const auto& p : s.problems()) {
            std::fprintf(stderr, "wingtrail-bench: wrong result at %ld entries: %s\n", n, p.c_str());
            wrong = true;
        }
    return wrong ? 1 : 0;
}
