#include "Suite.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace bench {

bool Samples::has(const std::string& key) const
{
    auto it = values_.find(key);
    return it != values_.end() && !it->second.empty();
}

double Samples::median(const std::string& key) const
{
    auto it = values_.find(key);
    if (it == values_.end() || it->second.empty())
        return 0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void Samples::expectRows(const std::string& what, long got, long want)
{
    if (got != want)
        wrong(what + " gave " + std::to_string(got) + " rows, expected " + std::to_string(want));
}

bool Suite::knows(const std::string& name) const
{
    return std::any_of(measurements_.begin(), measurements_.end(), [&](const Measurement& m) { return m.name == name; });
}

std::string Fmt(double x, int decimals)
{
    if (decimals < 0) {
        const double a = x < 0 ? -x : x;
        decimals = a < 10 ? 2 : a < 100 ? 1 : 0;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    return buf;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one.empty() ? "?" : one + " (5 min: " + five + ")";
}

namespace {

const char* unitName(Unit u)
{
    switch (u) {
    case Unit::Ms: return "ms";
    case Unit::BytesPerEntry: return "B/entry";
    case Unit::Bytes: return "B";
    }
    return "";
}

std::string amount(double v, Unit u)
{
    if (u == Unit::Bytes) {
        const double a = v < 0 ? -v : v;
        if (a >= 1024 * 1024)
            return Fmt(v / (1024 * 1024)) + " MiB";
        if (a >= 1024)
            return Fmt(v / 1024) + " KiB";
        return Fmt(v, 0) + " B";
    }
    return Fmt(v) + " " + unitName(u);
}

} // namespace

Outcome Judge(const Row& row, const Samples& s)
{
    Outcome o;
    const bool relative = !row.baselineKey.empty();
    o.measured = s.has(row.key) && (!relative || s.has(row.baselineKey));
    if (!o.measured)
        return o;
    o.ours = s.median(row.key);
    o.baseline = relative ? s.median(row.baselineKey) : 0;
    o.ratio = relative ? (o.baseline > 0 ? o.ours / o.baseline : 0) : o.ours;
    o.hasTarget = row.factor > 0;
    if (o.hasTarget) {
        if (relative) {
            o.met = o.ours <= row.factor * o.baseline + row.plus;
            o.target = "≤ " + Fmt(row.factor, 1) + " ×" + (row.plus > 0 ? " + " + amount(row.plus, row.unit) : "");
        } else {
            o.met = o.ours <= row.factor;
            o.target = "≤ " + amount(row.factor, row.unit);
        }
    }
    return o;
}

void PrintSize(const Suite& suite, const Samples& s, long n)
{
    std::printf("| step | ours | baseline | ours / baseline | target | met? |\n");
    std::printf("|---|---:|---:|---:|---|---|\n");
    for (const Row& row : suite.rows()) {
        const Outcome o = Judge(row, s);
        if (!o.measured)
            continue;
        const bool relative = !row.baselineKey.empty();
        std::printf("| %s | %s | %s | %s | %s | %s |\n", row.step.c_str(), amount(o.ours, row.unit).c_str(),
                    relative ? (amount(o.baseline, row.unit) + " " + row.baselineName).c_str() : "–",
                    relative ? Fmt(o.ratio, 2).c_str() : "–", o.hasTarget ? o.target.c_str() : "–",
                    !o.hasTarget ? "–" : o.met ? "met" : "**missed**");
    }
    std::printf("\nSamples at %ld entries (ms, B/entry or B, in the order taken):\n", n);
    for (const auto& [key, values] : s.all()) {
        std::printf("  %-34s", key.c_str());
        for (double v : values)
            std::printf(" %s", Fmt(v).c_str());
        std::printf("\n");
    }
    std::fflush(stdout);
}

void PrintSummary(const Suite& suite, const std::vector<std::pair<long, Samples>>& sizes)
{
    if (sizes.empty())
        return;
    std::printf("\n## Ratios\n\nours / baseline (absolute figures where there is no baseline)\n\n| step |");
    for (const auto& [n, s] : sizes)
        std::printf(" %ld |", n);
    std::printf(" target | at %ld |\n|---|", sizes.back().first);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        std::printf("---:|");
    std::printf("---|---|\n");
    for (const Row& row : suite.rows()) {
        bool any = false;
        for (const auto& [n, s] : sizes)
            any = any || Judge(row, s).measured;
        if (!any)
            continue;
        std::printf("| %s |", row.step.c_str());
        for (const auto& [n, s] : sizes) {
            const Outcome o = Judge(row, s);
            if (!o.measured)
                std::printf(" – |");
            else if (!row.baselineKey.empty())
                std::printf(" %s |", Fmt(o.ratio, 2).c_str());
            else
                std::printf(" %s |", amount(o.ours, row.unit).c_str());
        }
        const Outcome last = Judge(row, sizes.back().second);
        std::printf(" %s | %s |\n", last.hasTarget ? last.target.c_str() : "–",
                    !last.measured || !last.hasTarget ? "–" : last.met ? "met" : "**missed**");
    }
    std::fflush(stdout);
}

} // namespace bench
