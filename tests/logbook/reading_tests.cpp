// How the companion program reads values and CSV: dates, times and durations as other
// logbooks write them, and CSV with quoted commas, quotes and line breaks, a byte-order
// mark and CRLF line ends, each record with the line it begins on.
#include <optional>

#include "LogbookTesting.h"
#include "logbook/Csv.h"
#include "logbook/Stats.h"
#include "logbook/Values.h"

using namespace wtlog;
using namespace wt::logtest;

TEST(Values, DatesAsExportsWriteThem)
{
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"2024-02-29", "2024-02-29"},  {"2023-02-29", std::nullopt},    {"2024/03/05", "2024-03-05"},
        {"05.03.2024", "2024-03-05"},  {"05-03-2024", "2024-03-05"},    {" 2024-03-05 ", "2024-03-05"},
        {"2024-13-01", std::nullopt},  {"31.04.2024", std::nullopt},    {"5.3.2024", std::nullopt},
        {"03/05/2024", std::nullopt},  {"2024-03-05T23:30:00Z", "2024-03-05"},
        {"2024-03-05T23:30:00-02:00", "2024-03-06"},                     {"", std::nullopt},
        {"yesterday", std::nullopt},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(ParseDate(text), want) << text;
}

TEST(Values, DateTimesBecomeUtcDateAndClock)
{
    struct Case {
        const char* text;
        const char* date;
        const char* clock;
    };
    const Case cases[] = {
        {"2024-03-05T10:20:30", "2024-03-05", "10:20"},
        {"2024-03-05 10:20", "2024-03-05", "10:20"},
        {"2024-03-05T10:20:30.123Z", "2024-03-05", "10:20"},
        {"2024-03-05T01:10:00+02:00", "2024-03-04", "23:10"},
        {"2024-12-31T23:50:00-0030", "2025-01-01", "00:20"},
    };
    for (const auto& c : cases) {
        const auto dt = ParseDateTime(c.text);
        ASSERT_TRUE(dt) << c.text;
        EXPECT_EQ(dt->date, c.date) << c.text;
        EXPECT_EQ(dt->clock, c.clock) << c.text;
    }
    for (const char* bad : {"2024-03-05", "2024-03-05T25:00", "2024-03-05T10:20+2", "2024-03-05T10:20 Z"})
        EXPECT_FALSE(ParseDateTime(bad)) << bad;
}

TEST(Values, ClockTimesAndDurations)
{
    EXPECT_EQ(ClockMinutes("06:45"), 405);
    EXPECT_EQ(ClockMinutes("6:45"), 405);
    EXPECT_EQ(ClockMinutes("23:59:59"), 1439);
    for (const char* bad : {"::12", "24:00", "12:60", "1245", "12:5", "", "12:45x"})
        EXPECT_FALSE(ClockMinutes(bad)) << bad;
    EXPECT_EQ(ParseClock("0645"), "06:45");
    EXPECT_EQ(ParseClock("6:45:10"), "06:45");

    const std::pair<const char*, std::optional<double>> durations[] = {
        {"1.5", 1.5}, {"1,5", 1.5}, {"2", 2.0}, {"1:30", 1.5}, {"12:06", 12.1}, {".5", 0.5},
        {"1.", std::nullopt}, {"1:3", std::nullopt}, {"1:75", std::nullopt}, {"abc", std::nullopt},
        {"-1", std::nullopt}, {"", std::nullopt}, {"1.5h", std::nullopt},
    };
    for (const auto& [text, want] : durations) {
        const auto got = DurationHours(text);
        ASSERT_EQ(got.has_value(), want.has_value()) << text;
        if (want) {
            EXPECT_NEAR(*got, *want, 1e-9) << text;
        }
    }
}

TEST(Values, HoursOfAnEntryNeverGuess)
{
    struct Case {
        std::optional<std::string_view> flighttime, dep, arr;
        bool nextday;
        std::optional<double> hours;  // nullopt: a problem
    };
    const Case cases[] = {
        {"1.5", "10:00", "23:00", false, 1.5},      // the flight time wins over the clock
        {std::nullopt, "10:00", "11:45", false, 1.75},
        {"", "22:30", "01:15", true, 2.75},          // the next day
        {std::nullopt, "22:30", "01:15", false, std::nullopt},  // arrival before departure, no mark
        {std::nullopt, "::12", "01:15", true, std::nullopt},
        {std::nullopt, std::nullopt, "01:15", false, std::nullopt},
        {"abc", "10:00", "11:00", false, std::nullopt},
        {std::nullopt, "10:00", "10:00", true, 24.0},
    };
    for (const auto& c : cases) {
        const EntryHours h = HoursOf(c.flighttime, c.dep, c.arr, c.nextday);
        EXPECT_EQ(h.problem == nullptr, c.hours.has_value()) << c.flighttime.value_or("-") << " " << c.dep.value_or("-");
        if (c.hours) {
            EXPECT_NEAR(h.hours, *c.hours, 1e-9);
        }
    }
}

namespace {

std::vector<CsvRecord> readCsv(const std::string& text)
{
    TempFolder dir;
    const std::string path = dir.file("in.csv");
    writeFile(path, text);
    std::vector<CsvRecord> out;
    ReadCsv(path, [&](const CsvRecord& r) {
        CsvRecord copy = r;
        copy.fields.resize(r.size);
        out.push_back(copy);
        return true;
    });
    return out;
}

} // namespace

TEST(Csv, QuotedCommasQuotesAndLineBreaksWithTheirLines)
{
    const auto rec = readCsv("\xEF\xBB\xBF" "a,b,c\r\n"
                             "\"x, y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n"
                             "\r\n"
                             ",\"\",last\r\n"
                             "1,2,3");
    ASSERT_EQ(rec.size(), 4u);
    EXPECT_EQ(rec[0].fields[0].text, "a");  // the byte-order mark is not part of the first name
    EXPECT_EQ(rec[0].line, 1);
    EXPECT_EQ(rec[1].fields[0].text, "x, y");
    EXPECT_EQ(rec[1].fields[1].text, "say \"hi\"");
    EXPECT_EQ(rec[1].fields[2].text, "two\r\nlines");
    EXPECT_EQ(rec[1].line, 2);
    // After a record of two lines and a blank line, the next record is on line 5.
    EXPECT_EQ(rec[2].line, 5);
    EXPECT_TRUE(rec[2].fields[0].null);
    EXPECT_FALSE(rec[2].fields[1].null);  // "" is empty text, not Null
    EXPECT_EQ(rec[2].fields[1].text, "");
    EXPECT_EQ(rec[3].line, 6);
    EXPECT_EQ(rec[3].fields[2].text, "3");  // the last record needs no line end
}

TEST(Csv, LfLineEndsCountAlike)
{
    const auto rec = readCsv("a,b\n\"1\n2\n3\",x\n\nlast,y\n");
    ASSERT_EQ(rec.size(), 3u);
    EXPECT_EQ(rec[1].line, 2);
    EXPECT_EQ(rec[2].line, 6);
}

TEST(Csv, MalformedCsvNamesItsLine)
{
    for (const auto& [text, line] : std::vector<std::pair<std::string, long>>{
             {"a,b\r\n1,2\r\nx\"y,3\r\n", 3}, {"a,b\n1,\"open\n2,3\n", 2}, {"a,b\n\"1\"x,2\n", 2}}) {
        try {
            readCsv(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const CsvError& e) {
            EXPECT_EQ(e.line(), line) << text;
        }
    }
}

TEST(Csv, WriterQuotesOnlyWhatMustBeAndReadsBack)
{
    TempFolder dir;
    const std::string path = dir.file("out.csv");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        CsvWriter w(f);
        w.field("plain");
        w.field("a, b");
        w.field("say \"hi\"");
        w.field("two\nlines");
        w.field("");
        w.null();
        w.endRecord();
        w.flush();
        std::fclose(f);
    }
    EXPECT_EQ(readAll(path), "plain,\"a, b\",\"say \"\"hi\"\"\",\"two\nlines\",\"\",\r\n");
    const auto rec = readCsv(readAll(path));
    ASSERT_EQ(rec.size(), 1u);
    ASSERT_EQ(rec[0].fields.size(), 6u);
    EXPECT_EQ(rec[0].fields[3].text, "two\nlines");
    EXPECT_FALSE(rec[0].fields[4].null);
    EXPECT_TRUE(rec[0].fields[5].null);
}
