#include "logbook/Cli.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <memory>

#include "logbook/Csv.h"
#include "logbook/Import.h"
#include "logbook/Listing.h"
#include "logbook/Logbook.h"
#include "logbook/Maintenance.h"
#include "logbook/Progress.h"
#include "logbook/Report.h"
#include "logbook/Stats.h"
#include "logbook/Values.h"
#include "store/RuntimeError.h"

namespace wtlog {

namespace {

using nlohmann::json;

std::string hoursText(double h) { char b[32]; std::snprintf(b, sizeof b, "%.2f", h); return b; }

// Hours as JSON carries them: rounded to the minute's hundredth, so sums of minutes read back exactly.
double hoursValue(double h) { return std::round(h * 100) / 100; }

json sumsJson(const Sums& s)
{
    return {{"flights", s.flights}, {"hours", hoursValue(s.hours)}, {"pax", s.pax}, {"cargo", s.cargo}};
}

void printStats(const Stats& st, bool asJson, bool problems)
{
    if (asJson) {
        json out = {{"total", sumsJson(st.total)},
                    {"first_date", st.firstDate.empty() ? json() : json(st.firstDate)},
                    {"last_date", st.lastDate.empty() ? json() : json(st.lastDate)},
                    {"not_counted", st.problemCount}};
        if (!st.groupings.empty()) {
            out["by"] = std::string(GroupName(st.groupings[0].by));
            json groups = json::array();
            for (const auto& g : st.groupings[0].groups) {
                json item = sumsJson(g.sums);
                item["key"] = g.key;
                groups.push_back(std::move(item));
            }
            out["groups"] = std::move(groups);
        }
        if (problems) {
            json list = json::array();
            for (const auto& p : st.problems)
                list.push_back({{"logid", p.logid}, {"reason", p.reason}});
            out["problems"] = std::move(list);
        }
        std::printf("%s\n", out.dump(2, ' ', false, json::error_handler_t::replace).c_str());
        return;
    }
    auto line = [](const std::string& key, const Sums& s) {
        std::printf("%-30s %9lld %11s %11lld %13lld\n", key.c_str(), static_cast<long long>(s.flights),
                    hoursText(s.hours).c_str(), static_cast<long long>(s.pax), static_cast<long long>(s.cargo));
    };
    const std::string title = st.groupings.empty() ? "" : std::string(GroupName(st.groupings[0].by));
    std::printf("%-30s %9s %11s %11s %13s\n", title.c_str(), "flights", "hours", "passengers", "cargo (lbs)");
    if (!st.groupings.empty())
        for (const auto& g : st.groupings[0].groups)
            line(g.key, g.sums);
    line("total", st.total);
    if (!st.firstDate.empty())
        std::printf("from %s to %s\n", st.firstDate.c_str(), st.lastDate.c_str());
    if (st.problemCount > 0)
        std::printf("%lld entries not counted: they hold values that cannot be read%s\n",
                    static_cast<long long>(st.problemCount), problems ? ":" : " (--problems lists them)");
    if (problems)
        for (const auto& p : st.problems)
            std::printf("  entry %lld: %s\n", static_cast<long long>(p.logid), p.reason.c_str());
}

std::string oneLine(const std::string& cell)
{
    std::string out = cell;
    for (char& c : out)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return out;
}

void printImport(const std::string& path, const ImportReport& r)
{
    std::printf("%s: %s, %lld rows\n", path.c_str(), FormatName(r.format), static_cast<long long>(r.rows));
    if (!r.used.empty()) {
        std::printf("  columns read:");
        for (const auto& u : r.used)
            std::printf(" %s;", u.c_str());
        std::printf("\n");
    }
    if (!r.ignored.empty()) {
        std::printf("  columns ignored:");
        for (const auto& u : r.ignored)
            std::printf(" %s;", u.c_str());
        std::printf("\n");
    }
    if (r.refusedCount > 0) {
        std::printf("  %lld rows would be refused:\n", static_cast<long long>(r.refusedCount));
        for (const auto& x : r.refused) {
            if (x.field.empty())
                std::printf("    %s: line %ld: %s\n", path.c_str(), x.line, x.reason.c_str());
            else
                std::printf("    %s: line %ld, field %s: '%s' %s\n", path.c_str(), x.line, x.field.c_str(),
                            oneLine(x.value).c_str(), x.reason.c_str());
        }
        if (static_cast<std::int64_t>(r.refused.size()) < r.refusedCount)
            std::printf("    ... and %lld more\n", static_cast<long long>(r.refusedCount - r.refused.size()));
    }
    if (r.duplicateCount > 0) {
        std::printf("  %lld rows repeat an entry already in the logbook (same date, departure, destination and "
                    "departure time):\n",
                    static_cast<long long>(r.duplicateCount));
        for (const auto& d : r.duplicates)
            std::printf("    %s: line %ld repeats entry %lld (%s)\n", path.c_str(), d.line,
                        static_cast<long long>(d.logid), oneLine(d.what).c_str());
        if (static_cast<std::int64_t>(r.duplicates.size()) < r.duplicateCount)
            std::printf("    ... and %lld more\n", static_cast<long long>(r.duplicateCount - r.duplicates.size()));
    }
    if (r.format == CsvFormat::Own)
        std::printf("  entry numbers: %s\n", r.keepsNumbers ? "kept from the file"
                                                            : "new ones (the file's numbers are taken in the logbook)");
}

std::FILE* openOutput(const std::string& path, std::unique_ptr<std::FILE, int (*)(std::FILE*)>& holder)
{
    if (path == "-")
        return stdout;
    holder.reset(std::fopen(path.c_str(), "wb"));
    if (!holder)
        throw Refused(path + ": cannot be written: " + std::strerror(errno));
    return holder.get();
}

void closeOutput(const std::string& path, std::unique_ptr<std::FILE, int (*)(std::FILE*)>& holder)
{
    if (path == "-") {
        if (std::fflush(stdout) != 0)
            throw Refused("standard output: cannot be written");
        return;
    }
    std::FILE* f = holder.release();
    if (std::fclose(f) != 0)
        throw Refused(path + ": cannot be written: " + std::strerror(errno));
}

std::function<std::string(const std::string&)> isoDateCheck()
{
    return [](const std::string& v) { return IsIsoDate(v) ? std::string() : "'" + v + "' is not a date YYYY-MM-DD"; };
}

} // namespace

int RunCli(int argc, char** argv)
{
    CLI::App app{"wingtrail-logbook: totals, listings, CSV in and out, backup, check and a report of a Wingtrail "
                 "logbook.",
                 "wingtrail-logbook"};
    app.require_subcommand(1);
    std::string logbookPath;
    app.add_option("--logbook", logbookPath,
                   "The logbook file (default: the installed program's per-user logbook, else Wingtrail.dat beside "
                   "this program)");

    auto* stats = app.add_subcommand("stats", "Flights, hours, passengers and cargo, in total and per group");
    std::string by;
    StatsQuery query;
    bool statsJson = false;
    stats->add_option("--by", by, "Group by year, month, aircraft, airline, rule, route, departure or destination")
        ->check(CLI::IsMember({"year", "month", "aircraft", "airline", "rule", "route", "departure", "destination"}));
    stats->add_option("--from", query.from, "First date counted, YYYY-MM-DD")->check(isoDateCheck());
    stats->add_option("--to", query.to, "Last date counted, YYYY-MM-DD")->check(isoDateCheck());
    stats->add_flag("--json", statsJson, "Write JSON");
    stats->add_flag("--problems", query.listProblems, "List the entries that are not counted, and why");

    ListFilter filter;
    bool listCsv = false, listJson = false;
    auto filters = [&](CLI::App* cmd) {
        cmd->add_option("--from", filter.from, "First date, YYYY-MM-DD")->check(isoDateCheck());
        cmd->add_option("--to", filter.to, "Last date, YYYY-MM-DD")->check(isoDateCheck());
        cmd->add_option("--airport", filter.airport, "Departure or destination");
        cmd->add_option("--aircraft", filter.aircraft, "A part of the aircraft");
        cmd->add_option("--airline", filter.airline, "A part of the airline");
        cmd->add_option("--callsign", filter.callsign, "A part of the callsign");
        cmd->add_option("--rule", filter.rule, "The flight rule (IFR, VFR, ...)");
        cmd->add_option("--sort", filter.sort, "Order: date, logid, departure, destination, aircraft, airline, "
                                               "callsign or rule")
            ->check(CLI::IsMember(SortKeys()));
        auto* csv = cmd->add_flag("--csv", listCsv, "Write CSV");
        cmd->add_flag("--json", listJson, "Write JSON")->excludes(csv);
    };
    auto* list = app.add_subcommand("list", "Entries in date order, filtered");
    filters(list);
    list->add_option("--text", filter.text, "A part of any field");
    auto* findCmd = app.add_subcommand("find", "Entries holding TEXT in any field");
    filters(findCmd);
    findCmd->add_option("TEXT", filter.text, "The text to look for")->required();

    auto* exportCmd = app.add_subcommand("export", "Every entry as CSV (RFC 4180, UTF-8)");
    bool exportCsv = false;
    std::string exportPath = "-";
    exportCmd->add_flag("--csv", exportCsv, "CSV (the only format)")->required();
    exportCmd->add_option("FILE", exportPath, "The file to write, - for standard output (the default)");

    auto* importCmd = app.add_subcommand("import", "File the entries of a CSV file, all or none");
    std::string importPath;
    ImportOptions importOptions;
    importCmd->add_option("--csv", importPath, "The CSV file")->required();
    importCmd->add_flag("--dry-run", importOptions.dryRun, "Only show what would be done");
    importCmd->add_flag("--allow-duplicates", importOptions.allowDuplicates,
                        "File rows that repeat an entry already in the logbook");

    auto* backupCmd = app.add_subcommand("backup", "A consistent copy of the logbook, even while it is in use");
    std::string backupPath;
    bool force = false;
    backupCmd->add_option("DEST", backupPath, "The copy to write")->required();
    backupCmd->add_flag("--force", force, "Overwrite DEST when it exists");

    auto* checkCmd = app.add_subcommand("check", "integrity_check, the table's shape and values the windows cannot show");

    auto* reportCmd = app.add_subcommand("report", "A self-contained HTML page with totals and charts");
    std::string reportPath;
    reportCmd->add_option("--html", reportPath, "The page to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }

    try {
        const std::string path = logbookPath.empty() ? DefaultLogbookPath(ExecutableFolder()) : logbookPath;
        store::Connection connection;
        OpenLogbook(connection, path);

        if (stats->parsed()) {
            if (!by.empty())
                query.groupBy.push_back(*ParseGroupBy(by));
            Progress progress("stats", static_cast<std::uint64_t>(CountEntries(connection)), "entries");
            query.progress = [&](std::int64_t n) { progress.update(static_cast<std::uint64_t>(n)); };
            const Stats st = ComputeStats(connection, query);
            printStats(st, statsJson, query.listProblems);
        } else if (list->parsed() || findCmd->parsed()) {
            std::unique_ptr<CsvWriter> csv;
            if (listCsv) {
                csv = std::make_unique<CsvWriter>(stdout);
                for (const auto& h : ListHeaders())
                    csv->field(h);
                csv->endRecord();
            } else if (listJson) {
                std::fputs("[", stdout);
            } else {
                std::string header;
                for (const auto& h : ListHeaders())
                    header += (header.empty() ? "" : "\t") + h;
                std::printf("%s\n", header.c_str());
            }
            bool first = true;
            std::string line;
            ListEntries(connection, filter, [&](const std::vector<std::string>& cells) {
                if (csv) {
                    for (const auto& c : cells)
                        csv->field(c);
                    csv->endRecord();
                } else if (listJson) {
                    json item = json::object();
                    for (std::size_t i = 0; i < cells.size(); ++i)
                        item[ListHeaders()[i]] = cells[i];
                    std::printf("%s\n  %s", first ? "" : ",", item.dump(-1, ' ', false, json::error_handler_t::replace).c_str());
                } else {
                    line.clear();
                    for (std::size_t i = 0; i < cells.size(); ++i)
                        line += (i ? "\t" : "") + oneLine(cells[i]);
                    std::printf("%s\n", line.c_str());
                }
                first = false;
            });
            if (csv)
                csv->flush();
            else if (listJson)
                std::fputs(first ? "]\n" : "\n]\n", stdout);
            std::fflush(stdout);
        } else if (exportCmd->parsed()) {
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> holder(nullptr, &std::fclose);
            std::FILE* out = openOutput(exportPath, holder);
            Progress progress("export", static_cast<std::uint64_t>(CountEntries(connection)), "entries");
            ExportCsv(connection, out, [&](std::int64_t n) { progress.update(static_cast<std::uint64_t>(n)); });
            closeOutput(exportPath, holder);
        } else if (importCmd->parsed()) {
            std::unique_ptr<Progress> progress;
            bool writingShown = false;
            importOptions.progress = [&](std::uint64_t bytes, std::uint64_t total, bool writing) {
                if (!progress || writing != writingShown) {
                    progress.reset();
                    progress = std::make_unique<Progress>(writing ? "import: filing" : "import: reading", total, "bytes");
                    writingShown = writing;
                }
                progress->update(bytes);
            };
            const ImportReport r = ImportCsv(connection, importPath, importOptions);
            progress.reset();
            printImport(importPath, r);
            std::fflush(stdout);
            if (r.refusedCount > 0) {
                std::fprintf(stderr, "wingtrail-logbook: %s: nothing was written: %lld rows are refused\n",
                             importPath.c_str(), static_cast<long long>(r.refusedCount));
                return 1;
            }
            if (r.duplicateCount > 0 && !importOptions.allowDuplicates) {
                std::fprintf(stderr,
                             "wingtrail-logbook: %s: nothing was written: %lld rows repeat entries of the logbook "
                             "(--allow-duplicates files them all the same)\n",
                             importPath.c_str(), static_cast<long long>(r.duplicateCount));
                return 1;
            }
            if (r.written)
                std::printf("Filed %lld entries in %s.\n", static_cast<long long>(r.rows), path.c_str());
            else
                std::printf("Nothing was written%s.\n", importOptions.dryRun ? " (--dry-run)" : "");
        } else if (backupCmd->parsed()) {
            const auto n = Backup(connection, backupPath, force);
            std::printf("Copied %lld entries to %s; integrity_check: ok.\n", static_cast<long long>(n),
                        backupPath.c_str());
        } else if (checkCmd->parsed()) {
            const CheckReport r = Check(connection);
            for (const auto& f : r.findings)
                std::printf("%s: %s: %s\n", path.c_str(), f.what.c_str(), f.text.c_str());
            std::fflush(stdout);
            if (static_cast<std::int64_t>(r.findings.size()) < r.findingCount)
                std::printf("... and %lld more\n", static_cast<long long>(r.findingCount - r.findings.size()));
            if (r.findingCount > 0) {
                std::fprintf(stderr, "wingtrail-logbook: %s: %lld findings in %lld entries\n", path.c_str(),
                             static_cast<long long>(r.findingCount), static_cast<long long>(r.entries));
                return 1;
            }
            std::printf("%s: %lld entries; integrity_check ok, the table as it should be, every value readable.\n",
                        path.c_str(), static_cast<long long>(r.entries));
        } else if (reportCmd->parsed()) {
            Progress progress("report", static_cast<std::uint64_t>(CountEntries(connection)), "entries");
            StatsQuery q;
            q.groupBy = {GroupBy::Month, GroupBy::Year, GroupBy::Route, GroupBy::Aircraft};
            q.progress = [&](std::int64_t n) { progress.update(static_cast<std::uint64_t>(n)); };
            const std::string html = ReportHtml(ComputeStats(connection, q), path);
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> holder(nullptr, &std::fclose);
            std::FILE* out = openOutput(reportPath, holder);
            if (std::fwrite(html.data(), 1, html.size(), out) != html.size())
                throw Refused(reportPath + ": cannot be written");
            closeOutput(reportPath, holder);
        }
    } catch (const Refused& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "wingtrail-logbook: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "wingtrail-logbook: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace wtlog
