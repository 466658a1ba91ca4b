// wingtrail-bench: how fast the overview fills and sorts big logbooks, against what SQLite
// alone needs for the same rows (the floors) and against a plain QTreeWidget (the peer).
// Prints one Markdown table per logbook size; docs/PERFORMANCE.md explains the figures.
#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Dataset.h"
#include "Logbook.h"
#include "Runs.h"
#include "platform/Errors.h"
#include "resources/Resources.h"

namespace {

using namespace bench;

// Targets the overview is built to: fill within 1.5 x the bare scan, a sort within half of
// SQLite's own ORDER BY, and at most 250 bytes of memory a row.
constexpr double kFillTarget = 1.5;
constexpr double kSortTarget = 0.5;
constexpr double kBytesTarget = 250;

struct Options {
    std::vector<long> sizes = {10000, 100000, 1000000};
    int reps = 0;  // 0: 5 up to 10^5 entries, 3 above
    std::string dir = "/tmp/wingtrail-bench";
    std::vector<int> columns = {1, 2, 3, 13};
    std::set<std::string> only;  // empty: everything
    bool smoke = false;
    bool wants(const std::string& what) const { return only.empty() || only.count(what); }
};

[[noreturn]] void usage(int status)
{
    std::fputs(
        "usage: wingtrail-bench [--n N[,N...]] [--reps R] [--dir DIR] [--columns C[,C...]|none]\n"
        "                       [--only scan,orderby,overview,peer,logbook] [--smoke]\n"
        "  --n        logbook sizes (default 10000,100000,1000000; 1e5 is accepted)\n"
        "  --reps     runs of each measurement (default 5 up to 10^5 entries, 3 above)\n"
        "  --dir      where generated logbooks are kept between runs (default /tmp/wingtrail-bench)\n"
        "  --columns  1-based overview columns to sort by (default 1,2,3,13: Nr., Date, From, Remarks)\n"
        "  --only     run only these measurements (for profiling)\n"
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
        if (n < 1)
            usage(2);
    for (int c : o.columns)
        if (c < 1 || c > 14)
            usage(2);
    for (const auto& w : o.only)
        if (w != "scan" && w != "orderby" && w != "overview" && w != "peer" && w != "logbook")
            usage(2);
    if (o.smoke) {
        o.sizes = {300};
        o.reps = 1;
    }
    return o;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one.empty() ? "?" : one;
}

std::string fmt(double x, int decimals = -1)
{
    if (decimals < 0)
        decimals = x < 10 ? 2 : x < 100 ? 1 : 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    return buf;
}

std::string verdict(double value, double target)
{
    return value <= target ? "met" : "missed (" + fmt(value / target, 2) + " x target)";
}

// All samples of one logbook size, by measurement name.
struct Samples {
    std::map<std::string, std::vector<double>> ms;
    std::map<std::string, std::vector<double>> bytesPerRow;
    double textBytesPerRow = 0;
    double med(const std::string& k) const { auto it = ms.find(k); return it == ms.end() ? 0 : median(it->second); }
    double bytes(const std::string& k) const
    {
        auto it = bytesPerRow.find(k);
        return it == bytesPerRow.end() ? 0 : median(it->second);
    }
    bool has(const std::string& k) const { return ms.count(k) && !ms.at(k).empty(); }
};

std::vector<std::string> problems;

void expectRows(const char* what, long got, long want)
{
    if (got != want)
        problems.push_back(std::string(what) + " gave " + std::to_string(got) + " rows, expected " + std::to_string(want));
}

// Files the samples of one fill-then-sort run under prefix ("" ours, "peer " the peer's).
void collect(Samples& s, const std::string& prefix, const std::string& who, const FillThenSort& r, int column, long n)
{
    auto perRow = [n](long bytes) { return static_cast<double>(bytes) / static_cast<double>(n); };
    expectRows((who + " fill").c_str(), r.fill.rows, n);
    s.ms[prefix + "fill"].push_back(r.fill.ms);
    s.bytesPerRow[prefix + "fill"].push_back(perRow(r.fill.residentGrowth));
    if (column > 0) {
        expectRows((who + " sort").c_str(), r.sort.rows, n);
        s.ms[prefix + "sort " + std::to_string(column)].push_back(r.sort.ms);
        s.bytesPerRow[prefix + "sort"].push_back(perRow(r.sort.residentGrowth));
    }
}

void measure(const Options& o, long n)
{
    const std::string folder = PrepareLogbook(o.dir, n);
    const std::string database = folder + "/Wingtrail.dat";
    const int reps = o.reps > 0 ? o.reps : (n <= 100000 ? 5 : 3);
    const bool overview = o.wants("overview");
    const bool peer = o.wants("peer");
    const std::string loadBefore = loadAverage();

    Samples s;
    ScanFloor(database);  // brings the file into the page cache before anything is timed
    const std::vector<int> sortColumns = o.columns.empty() ? std::vector<int>{0} : o.columns;
    for (int rep = 0; rep < reps; ++rep) {
        std::fprintf(stderr, "\r  %ld entries: run %d of %d ", n, rep + 1, reps);
        if (o.wants("scan")) {
            const Timed t = ScanFloor(database);
            expectRows("the scan", t.rows, n);
            s.ms["scan"].push_back(t.ms);
            s.textBytesPerRow = static_cast<double>(t.textBytes) / static_cast<double>(n);
        }
        for (int c : o.columns)
            if (o.wants("orderby"))
                s.ms["orderby " + std::to_string(c)].push_back(ScanFloor(database, c).ms);
        // Each sort is measured on a window of its own, freshly filled and unsorted; its
        // fill counts as one more fill sample. Ours and the peer's alternate, so that a
        // change in the machine's load falls on both.
        for (int c : sortColumns) {
            QString ourTop;
            if (overview) {
                const FillThenSort r = OverviewRun(folder, c);
                collect(s, "", "the overview", r, c, n);
                ourTop = r.sort.topText;
            }
            if (peer) {
                const FillThenSort r = PeerRun(folder, c);
                collect(s, "peer ", "the QTreeWidget", r, c, n);
                if (c > 0) {
                    // Columns of digits and capitals order the same under any text compare,
                    // so there both lists must agree on the first row.
                    if (overview && c <= 3 && ourTop != r.sort.topText)
                        problems.push_back("sorting by \"" + std::string(HeaderOfColumn(c)) + "\": the overview's first cell is '"
                                           + ourTop.toStdString() + "', the QTreeWidget's '" + r.sort.topText.toStdString() + "'");
                }
            }
        }
    }
    std::fprintf(stderr, "\r%60s\r", "");

    std::printf("\n### %ld entries\n\n", n);
    std::printf("%d runs of each measurement; load average %s before, %s after; shown text %.0f B/row (UTF-8).\n\n",
                reps, loadBefore.c_str(), loadAverage().c_str(), s.textBytesPerRow);
    std::printf("| measurement | ours | floor | ours / floor | target | QTreeWidget | ours / QTreeWidget |\n");
    std::printf("|---|---:|---:|---:|---|---:|---:|\n");
    auto row = [&](const std::string& name, const std::string& ours, const std::string& floorKey, const std::string& floorName,
                   double target, const std::string& peerKey, bool bytes) {
        const double v = bytes ? s.bytes(ours) : s.med(ours);
        const bool haveOurs = bytes ? s.bytesPerRow.count(ours) > 0 : s.has(ours);
        const bool haveFloor = !floorKey.empty() && s.has(floorKey);
        const bool havePeer = bytes ? s.bytesPerRow.count(peerKey) > 0 : s.has(peerKey);
        const double f = haveFloor ? s.med(floorKey) : 0;
        const double p = bytes ? s.bytes(peerKey) : s.med(peerKey);
        const double ratio = haveFloor && f > 0 ? v / f : v;
        std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", name.c_str(),
                    haveOurs ? fmt(v).c_str() : "–",
                    haveFloor ? (fmt(f) + " " + floorName).c_str() : "–",
                    haveOurs && haveFloor ? fmt(ratio, 2).c_str() : "–",
                    haveOurs && (haveFloor || bytes)
                        ? ("≤ " + fmt(target, bytes ? 0 : 1) + ": " + verdict(bytes ? v : ratio, target)).c_str()
                        : "–",
                    havePeer ? fmt(p).c_str() : "–",
                    haveOurs && havePeer && p > 0 ? fmt(v / p, 3).c_str() : "–");
    };
    row("fill, ms", "fill", "scan", "(scan)", kFillTarget, "peer fill", false);
    for (int c : o.columns) {
        const std::string k = std::to_string(c);
        row(std::string("sort \"") + HeaderOfColumn(c) + "\", ms", "sort " + k, "orderby " + k,
            std::string("(ORDER BY ") + FieldOfColumn(c) + " DESC)", kSortTarget, "peer sort " + k, false);
    }
    row("memory after the fill, B/row", "fill", "", "", kBytesTarget, "peer fill", true);
    if (!o.columns.empty())
        row("memory after a sort, B/row", "sort", "", "", kBytesTarget, "peer sort", true);

    std::printf("\nSamples (ms unless B/row):\n");
    for (const auto* table : {&s.ms, &s.bytesPerRow})
        for (const auto& [name, values] : *table) {
            std::printf("  %-22s", (name + (table == &s.bytesPerRow ? " B/row" : "")).c_str());
            for (double v : values)
                std::printf(" %s", fmt(v).c_str());
            std::printf("\n");
        }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    // Nothing is ever shown; without a display the offscreen platform is the only one that works.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    resources::Init();
    platform::setRuntimeErrorHandler([](const store::RuntimeError& e) {
        std::fprintf(stderr, "run-time error %ld: %s\n", e.number(), e.what());
        std::exit(3);
    });

    QTemporaryDir smokeDir;
    Options o = options;
    if (o.smoke)
        o.dir = smokeDir.path().toStdString();

    try {
        for (long n : o.sizes)
            measure(o, n);
        // wingtrail-logbook beside bare SQLite (bench/Logbook.cpp).
        if (o.wants("logbook"))
            for (long n : o.sizes)
                if (!MeasureLogbook(PrepareLogbook(o.dir, n), n, o.reps > 0 ? o.reps : (n <= 100000 ? 5 : 3),
                                    o.dir + "/logbook-work"))
                    problems.push_back("wingtrail-logbook measurements");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wingtrail-bench: %s\n", e.what());
        return 3;
    }
    for (const auto& p : problems)
        std::fprintf(stderr, "wingtrail-bench: wrong result: %s\n", p.c_str());
    return problems.empty() ? 0 : 1;
}
