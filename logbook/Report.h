#pragma once
// One self-contained HTML page about the logbook: totals, hours per month and flights per
// year as bar charts, the top routes and aircraft, all drawn as inline SVG. No script, no
// file or font from elsewhere; laid out for a phone's width and for paper.
#include <string>

#include "logbook/Stats.h"

namespace wtlog {

// The page for stats computed with the groupings month, year, route and aircraft.
std::string ReportHtml(const Stats& stats, const std::string& logbookName);

} // namespace wtlog
