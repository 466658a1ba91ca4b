#include "logbook/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "logbook/Values.h"

namespace wtlog {

namespace {

std::string escaped(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string fixed(double v, int decimals)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// 1234567 -> "1 234 567": a thin space groups the digits in every language.
std::string grouped(std::int64_t n)
{
    std::string digits = std::to_string(n < 0 ? -n : n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += "\u2009";
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

// A round step for an axis from 0 to max with about `ticks` lines.
double niceStep(double max, int ticks)
{
    if (max <= 0)
        return 1;
    const double raw = max / ticks;
    const double mag = std::pow(10, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * mag)
            return m * mag;
    return 10 * mag;
}

const Grouping* find(const Stats& s, GroupBy by)
{
    for (const auto& g : s.groupings)
        if (g.by == by)
            return &g;
    return nullptr;
}

struct Bar {
    std::string label;  // under the bar, or empty
    std::string title;  // the tooltip and the text a screen reader gives
    double value;
};

// Vertical bars over a time axis; labels only where given.
std::string columnChart(const std::string& caption, const std::vector<Bar>& bars, const char* unit, int decimals)
{
    const double width = 720, height = 280, left = 48, right = 8, top = 14, bottom = 36;
    const double plotW = width - left - right, plotH = height - top - bottom;
    double max = 0;
    for (const auto& b : bars)
        max = std::max(max, b.value);
    const double step = niceStep(max, 5);
    const double axisMax = std::max(step, std::ceil(max / step) * step);
    std::string svg = "<figure><figcaption>" + escaped(caption) + "</figcaption><div class=\"chart\">"
        "<svg viewBox=\"0 0 720 280\" role=\"img\" aria-label=\"" + escaped(caption) + "\">";
    for (double v = 0; v <= axisMax + step / 2; v += step) {
        const double y = top + plotH - v / axisMax * plotH;
        svg += "<line class=\"grid\" x1=\"" + fixed(left, 1) + "\" x2=\"" + fixed(width - right, 1) + "\" y1=\""
            + fixed(y, 1) + "\" y2=\"" + fixed(y, 1) + "\"/><text class=\"axis\" x=\"" + fixed(left - 6, 1)
            + "\" y=\"" + fixed(y + 4, 1) + "\" text-anchor=\"end\">" + grouped(static_cast<std::int64_t>(v))
            + "</text>";
    }
    const double slot = bars.empty() ? 0 : plotW / static_cast<double>(bars.size());
    const double gap = slot > 6 ? slot * 0.2 : 0.5;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const double h = bars[i].value / axisMax * plotH;
        const double x = left + slot * static_cast<double>(i);
        svg += "<rect class=\"bar\" x=\"" + fixed(x + gap / 2, 2) + "\" y=\"" + fixed(top + plotH - h, 2)
            + "\" width=\"" + fixed(std::max(0.5, slot - gap), 2) + "\" height=\"" + fixed(h, 2) + "\"><title>"
            + escaped(bars[i].title) + ": " + fixed(bars[i].value, decimals) + " " + unit + "</title></rect>";
        if (!bars[i].label.empty())
            svg += "<text class=\"axis\" x=\"" + fixed(x + slot / 2, 2) + "\" y=\"" + fixed(height - bottom + 16, 1)
                + "\" text-anchor=\"middle\">" + escaped(bars[i].label) + "</text>";
    }
    svg += "<line class=\"base\" x1=\"" + fixed(left, 1) + "\" x2=\"" + fixed(width - right, 1) + "\" y1=\""
        + fixed(top + plotH, 1) + "\" y2=\"" + fixed(top + plotH, 1) + "\"/></svg></div></figure>\n";
    return svg;
}

// Horizontal bars for a top list, the value written at the end of each bar.
std::string rankChart(const std::string& caption, const std::vector<Group>& groups, std::size_t count)
{
    const std::size_t n = std::min(count, groups.size());
    const double width = 520, rowH = 28, labelW = 170, valueW = 140;
    const double height = std::max(1.0, static_cast<double>(n)) * rowH + 8;
    double max = 0;
    for (std::size_t i = 0; i < n; ++i)
        max = std::max(max, groups[i].sums.hours);
    std::string svg = "<figure><figcaption>" + escaped(caption) + "</figcaption><div class=\"rank\">"
        "<svg viewBox=\"0 0 520 " + fixed(height, 0) + "\" role=\"img\" aria-label=\"" + escaped(caption) + "\">";
    if (n == 0)
        svg += "<text class=\"axis\" x=\"0\" y=\"20\">no entries</text>";
    for (std::size_t i = 0; i < n; ++i) {
        const auto& g = groups[i];
        const double y = 4 + rowH * static_cast<double>(i);
        const double w = max > 0 ? g.sums.hours / max * (width - labelW - valueW) : 0;
        std::string label = g.key.size() > 20 ? g.key.substr(0, 19) + "\u2026" : g.key;
        svg += "<text class=\"label\" x=\"" + fixed(labelW - 8, 1) + "\" y=\"" + fixed(y + 18, 1)
            + "\" text-anchor=\"end\">" + escaped(label) + "</text><rect class=\"bar\" x=\"" + fixed(labelW, 1)
            + "\" y=\"" + fixed(y + 4, 1) + "\" width=\"" + fixed(std::max(1.0, w), 2) + "\" height=\""
            + fixed(rowH - 8, 1) + "\"><title>" + escaped(g.key) + "</title></rect><text class=\"value\" x=\""
            + fixed(labelW + w + 6, 2) + "\" y=\"" + fixed(y + 18, 1) + "\">" + fixed(g.sums.hours, 1) + " h, "
            + grouped(g.sums.flights) + (g.sums.flights == 1 ? " flight" : " flights") + "</text>";
    }
    svg += "</svg></div></figure>\n";
    return svg;
}

} // namespace

std::string ReportHtml(const Stats& stats, const std::string& logbookName)
{
    std::string html = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Wingtrail logbook</title>
<style>
  :root { color-scheme: light; --ink: #1c2833; --muted: #5d6d7e; --bar: #2e86c1; --line: #d5dbdb; }
  * { box-sizing: border-box; }
  body { margin: 0 auto; max-width: 1000px; padding: 16px; font-family: "DejaVu Sans", Verdana, sans-serif;
         color: var(--ink); background: #fff; line-height: 1.4; }
  h1 { font-size: 1.6rem; margin: 0 0 4px; }
  h2 { font-size: 1.2rem; margin: 28px 0 8px; border-bottom: 1px solid var(--line); padding-bottom: 4px; }
  .sub { color: var(--muted); margin: 0 0 16px; }
  .totals { display: grid; grid-template-columns: repeat(auto-fit, minmax(140px, 1fr)); gap: 10px; }
  .total { border: 1px solid var(--line); border-radius: 6px; padding: 10px 12px; }
  .total b { display: block; font-size: 1.5rem; }
  .total span { color: var(--muted); font-size: 0.9rem; }
  figure { margin: 0 0 12px; }
  figcaption { color: var(--muted); font-size: 0.9rem; margin-bottom: 4px; }
  .chart { overflow-x: auto; }
  .chart svg { display: block; width: 100%; min-width: 480px; height: auto; }
  .rank svg { display: block; width: 100%; max-width: 720px; height: auto; }
  svg text { font-family: "DejaVu Sans", Verdana, sans-serif; fill: var(--ink); }
  svg .axis { font-size: 12px; fill: var(--muted); }
  svg .label, svg .value { font-size: 13px; }
  svg .bar { fill: var(--bar); }
  svg .grid { stroke: var(--line); stroke-width: 1; }
  svg .base { stroke: var(--ink); stroke-width: 1; }
  .note { color: var(--muted); font-size: 0.9rem; }
  @media (max-width: 600px) { body { padding: 10px; } .total b { font-size: 1.25rem; } }
  @media print {
    body { max-width: none; padding: 0; }
    .chart { overflow: visible; }
    .chart svg { min-width: 0; }
    figure, .totals { break-inside: avoid; }
    svg .bar { fill: #555; }
  }
</style>
</head>
<body>
)";
    html += "<h1>Wingtrail logbook</h1>\n<p class=\"sub\">" + escaped(logbookName);
    if (!stats.firstDate.empty())
        html += " \u00b7 " + stats.firstDate + " to " + stats.lastDate;
    html += "</p>\n<section class=\"totals\">\n";
    auto total = [&](const std::string& value, const char* what) {
        html += "<div class=\"total\"><b>" + value + "</b><span>" + what + "</span></div>\n";
    };
    total(grouped(stats.total.flights), "flights");
    total(fixed(stats.total.hours, 1), "hours");
    total(grouped(stats.total.pax), "passengers");
    total(grouped(stats.total.cargo), "lbs of cargo");
    html += "</section>\n";
    if (stats.problemCount > 0)
        html += "<p class=\"note\">" + grouped(stats.problemCount)
            + " entries with values that cannot be read are not counted (wingtrail-logbook stats --problems lists "
              "them).</p>\n";

    if (const Grouping* months = find(stats, GroupBy::Month); months) {
        // Every month from the first to the last, flown or not, so the axis is true to time.
        std::map<std::string, double> hours;
        for (const auto& g : months->groups)
            hours[g.key] = g.sums.hours;
        std::vector<Bar> bars;
        if (!hours.empty()) {
            int y = std::stoi(hours.begin()->first.substr(0, 4)), m = std::stoi(hours.begin()->first.substr(5, 2));
            const std::string last = hours.rbegin()->first;
            const std::size_t span = hours.size();
            for (int guard = 0; guard < 12 * 10000; ++guard) {
                char key[16];
                std::snprintf(key, sizeof key, "%04d-%02d", y, m);
                const auto it = hours.find(key);
                std::string label;
                // One label a year when there are many months, else each month.
                if (span <= 24)
                    label = std::string(key).substr(5) + (m == 1 || bars.empty() ? "/" + std::to_string(y % 100) : "");
                else if (m == 1 || bars.empty())
                    label = std::to_string(y);
                bars.push_back({label, key, it == hours.end() ? 0 : it->second});
                if (key == last)
                    break;
                if (++m > 12)
                    m = 1, ++y;
            }
            // Years labelled under every bar would overlap: thin them out to fit.
            std::size_t labels = 0;
            for (const auto& b : bars)
                labels += !b.label.empty();
            const std::size_t every = std::max<std::size_t>(1, (labels + 15) / 16);
            std::size_t seen = 0;
            for (auto& b : bars)
                if (!b.label.empty() && seen++ % every != 0)
                    b.label.clear();
        }
        html += "<h2>Hours per month</h2>\n" + columnChart("Hours flown in each month", bars, "h", 1);
    }
    if (const Grouping* years = find(stats, GroupBy::Year); years) {
        std::vector<Bar> bars;
        for (const auto& g : years->groups)
            bars.push_back({g.key, g.key, static_cast<double>(g.sums.flights)});
        const std::size_t every = std::max<std::size_t>(1, (bars.size() + 15) / 16);
        for (std::size_t i = 0; i < bars.size(); ++i)
            if (i % every != 0)
                bars[i].label.clear();
        html += "<h2>Flights per year</h2>\n" + columnChart("Flights in each year", bars, "flights", 0);
    }
    if (const Grouping* routes = find(stats, GroupBy::Route); routes)
        html += "<h2>Top routes</h2>\n" + rankChart("The ten routes with the most hours", routes->groups, 10);
    if (const Grouping* aircraft = find(stats, GroupBy::Aircraft); aircraft)
        html += "<h2>Top aircraft</h2>\n" + rankChart("The ten aircraft with the most hours", aircraft->groups, 10);
    html += "<p class=\"note\">Made by wingtrail-logbook.</p>\n</body>\n</html>\n";
    return html;
}

} // namespace wtlog
