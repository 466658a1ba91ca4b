// wingtrail-logbook run as a user runs it, on real logbook and CSV files.
#include <nlohmann/json.hpp>

#include "LogbookTesting.h"

using namespace wt::logtest;
using nlohmann::json;

namespace {

// Entries as the windows file them, and values only another program would leave: commas,
// quotes and line breaks in the text, Null next to empty text, gaps in the numbers.
void fillTricky(const std::string& db)
{
    exec(db, R"sql(
INSERT INTO tblLog VALUES (3, '2024-01-05', 'EDDF', '10:20', 'EGLL', '11:50', 0, '1:30', 'A320', 'Lufthansa',
  'DLH4', 'IFR', 150, 1200, 'Smooth, "quiet" flight', 'TOBAK UL9 KONAN');
INSERT INTO tblLog VALUES (7, '2024-01-06', 'EGLL', '22:10', 'KJFK', '06:45', 1, NULL, 'B777-300ER', NULL,
  NULL, 'IFR', 0, 0, 'Line one
line two, with a comma', NULL);
INSERT INTO tblLog VALUES (8, '2023-12-31', '', NULL, 'LSZH', '', NULL, '', 'Cessna 172 Skyhawk', '', '', 'VFR',
  NULL, NULL, 'Über den Wolken ✈', '');
INSERT INTO tblLog VALUES (40000, NULL, 'LOWW', '07:00', 'LOWI', '08:00', 0, '1,0', 'PC-12', 'Private', 'OE-ABC',
  'Y', 4, 250, NULL, 'DCT');
)sql");
}

std::string hashOf(const std::string& path) { return std::to_string(std::hash<std::string>{}(readAll(path))); }

} // namespace

TEST(ExportImport, RoundTripIntoAnEmptyLogbookGivesIdenticalRows)
{
    TempFolder dir;
    const std::string from = makeLogbook(dir, "from.dat");
    fillTricky(from);
    const std::string csv = dir.file("all.csv");
    Ran r = runLogbook(dir, "--logbook " + from + " export --csv " + csv);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = readAll(csv);
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "logid,date,departure,timeDeparture,destination,timeArrival,nextday,flighttime,aircraft,airline,"
              "callsign,flightrule,pax,cargo,remarks,route");
    // Null is an empty cell, empty text is "".
    EXPECT_NE(text.find("8,2023-12-31,\"\",,LSZH,\"\",,\"\",Cessna 172 Skyhawk"), std::string::npos) << text;

    const std::string to = makeLogbook(dir, "to.dat");
    r = runLogbook(dir, "--logbook " + to + " import --csv " + csv);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("entry numbers: kept from the file"), std::string::npos) << r.out;
    EXPECT_EQ(rows(to), rows(from));

    // Exported again, the file is the same byte for byte; to standard output too.
    r = runLogbook(dir, "--logbook " + to + " export --csv -");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, text);
}

TEST(ExportImport, OwnCsvIntoALogbookWhoseNumbersAreTakenGetsNewNumbers)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    exec(db, "INSERT INTO tblLog (logid, date, departure) VALUES (3, '2020-01-01', 'EDDM')");
    const Ran r = importCsv(dir, db,
                            "logid,date,departure,timeDeparture,destination,timeArrival,nextday,flighttime,aircraft,"
                            "airline,callsign,flightrule,pax,cargo,remarks,route\n"
                            "3,2024-01-05,EDDF,10:20,EGLL,11:50,0,1:30,A320,,,IFR,,,,\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("new ones"), std::string::npos) << r.out;
    const auto all = rows(db);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0][2], "text:EDDM");  // the entry already there keeps its number
    EXPECT_EQ(all[1][2], "text:EDDF");
    EXPECT_EQ(all[1][0], "integer:4");
}

namespace {

// The flight planner's logbook columns, as its export names them.
const char* const kPlannerColumns[] = {
    "logbook_id", "aircraft_name", "aircraft_type", "aircraft_registration", "flightplan_number",
    "flightplan_cruise_altitude", "flightplan_file", "performance_file", "block_fuel", "trip_fuel", "used_fuel",
    "is_jetfuel", "grossweight", "distance", "distance_flown", "departure_ident", "departure_name",
    "departure_runway", "departure_lonx", "departure_laty", "departure_alt", "departure_time", "departure_time_sim",
    "destination_ident", "destination_name", "destination_runway", "destination_lonx", "destination_laty",
    "destination_alt", "destination_time", "destination_time_sim", "route_string", "simulator", "description",
    "flightplan", "aircraft_perf"};

std::string titleCase(const std::string& snake)
{
    std::string out;
    bool up = true;
    for (char c : snake) {
        if (c == '_') {
            out += ' ';
            up = true;
        } else {
            out += up ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            up = false;
        }
    }
    return out;
}

std::string plannerCsv(bool title)
{
    std::string out;
    for (const char* c : kPlannerColumns)
        out += (out.empty() ? "" : ",") + (title ? titleCase(c) : std::string(c));
    out += "\r\n";
    // Two flights: one in the day; one overnight whose local times lie in another zone.
    out += "1,Boeing 737-800 PMDG,B738,D-ABCD,DLH123,35000,/plans/EDDF-EGLL.lnmpln,/perf/b738.lnmperf,9000,6000,"
           "6100,1,65000,355.2,361.0,EDDF,Frankfurt Main,25C,8.57,50.03,364,2024-03-01T11:15:00,"
           "2024-03-01T10:15:00Z,EGLL,London Heathrow,27L,-0.46,51.47,83,2024-03-01T12:00:00,"
           "2024-03-01T11:45:00Z,\"EDDF SULUS UZ29 TOBAK EGLL\",MSFS,\"Smooth, short hop\",,\r\n";
    out += "2,Airbus A350-900,A359,,,39000,,,80000,70000,71000,1,230000,3000,3010,EGLL,London Heathrow,09R,-0.46,"
           "51.47,83,2024-03-01T22:40:00+00:00,2024-03-01T22:40:00Z,KJFK,New York JFK,04L,-73.77,40.64,13,"
           "2024-03-02T04:05:00-05:00,2024-03-02T06:05:00Z,,X-Plane 12,,,\r\n";
    return out;
}

} // namespace

TEST(ImportPlanner, SnakeCaseAndTitleCaseHeadersGiveTheExpectedFields)
{
    static_assert(std::size(kPlannerColumns) == 36);
    for (bool title : {false, true}) {
        TempFolder dir;
        const std::string db = makeLogbook(dir);
        const Ran r = importCsv(dir, db, plannerCsv(title));
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("flight planner"), std::string::npos) << r.out;
        const auto all = rows(db);
        ASSERT_EQ(all.size(), 2u);
        // logid, date, departure, timeDeparture, destination, timeArrival, nextday, flighttime, aircraft,
        // airline, callsign, flightrule, pax, cargo, remarks, route
        const std::vector<std::string> first = {"integer:1", "text:2024-03-01", "text:EDDF", "text:10:15",
                                                "text:EGLL", "text:11:45", "integer:0", "text:1:30", "text:B738",
                                                "null", "text:D-ABCD", "null", "null", "null",
                                                "text:Smooth, short hop", "text:EDDF SULUS UZ29 TOBAK EGLL"};
        EXPECT_EQ(all[0], first) << (title ? "Title Case" : "snake_case");
        // Zulu times from the simulator's UTC columns; arrival on the next day.
        EXPECT_EQ(all[1][3], "text:22:40");
        EXPECT_EQ(all[1][5], "text:06:05");
        EXPECT_EQ(all[1][6], "integer:1");
        EXPECT_EQ(all[1][7], "text:7:25");
        EXPECT_EQ(all[1][8], "text:A359");
        EXPECT_EQ(all[1][15], "null");
    }
}

TEST(ImportColumns, CommonLogbookHeadersAreRead)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    const Ran r = importCsv(dir, db,
                            "Date,AircraftID,From,To,Route,TimeOut,TimeIn,TotalTime,PIC,Remarks\n"
                            "2023-07-14,N1234,KBOS,KJFK,\"KBOS, MERIT, KJFK\",1405,1520,\"1,3\",1.3,\"Night\nlanding\"\n"
                            "15.07.2023,N1234,KJFK,KBOS,,23:40,00:35,,,\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("columns ignored: PIC;"), std::string::npos) << r.out;
    const auto all = rows(db);
    ASSERT_EQ(all.size(), 2u);
    const std::vector<std::string> first = {"integer:1", "text:2023-07-14", "text:KBOS", "text:14:05", "text:KJFK",
                                            "text:15:20", "integer:0", "text:1,3", "text:N1234", "null", "null",
                                            "null", "null", "null", "text:Night\nlanding", "text:KBOS, MERIT, KJFK"};
    EXPECT_EQ(all[0], first);
    EXPECT_EQ(all[1][1], "text:2023-07-15");
    EXPECT_EQ(all[1][6], "integer:1");  // in at 00:35 after out at 23:40
    EXPECT_EQ(all[1][7], "null");
}

TEST(Import, ABadRowRefusesTheWholeFileAndChangesNothing)
{
    struct Case {
        std::string csv;
        std::string says;  // what the refusal must name
    };
    const std::string own = "logid,date,departure,timeDeparture,destination,timeArrival,nextday,flighttime,aircraft,"
                            "airline,callsign,flightrule,pax,cargo,remarks,route\n";
    const std::vector<Case> cases = {
        {own + ",2024-01-01,EDDF,,,,,,,,,,1,,,\n,2024-01-02,EDDM,,,,,,,,,,abc,,,\n",
         "line 3, field pax: 'abc' is not a whole number"},
        {own + ",2024-02-30,EDDF,,,,,,,,,,,,,\n", "line 2, field date: '2024-02-30' is not a date"},
        {own + ",2024-01-01,EDDF,,,,2,,,,,,,,,\n", "line 2, field nextday: '2' is not 0 or 1"},
        {own + ",2024-01-01,\"EDDF\nEDDM\",,,,,,,,,,,,,\n,2024-01-01,EDDF,,,,,,,,,\n", "line 4: the row has 12 fields, the header has 16"},
        {"Date,From,To,TotalTime\n2024-01-01,EDDF,EGLL,1.5\n2024-01-02,EGLL,EDDF,1h30\n",
         "line 3, field TotalTime: '1h30' is not a duration"},
        {"Date,From,To,TimeOut\n2024-01-01,EDDF,EGLL,::12\n", "line 2, field TimeOut: '::12' is not a time"},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        const std::string db = makeLogbook(dir);
        exec(db, "INSERT INTO tblLog (date, departure) VALUES ('2020-05-05', 'LOWW')");
        const std::string before = hashOf(db);
        const std::string csv = dir.file("bad.csv");
        writeFile(csv, c.csv);
        const Ran r = runLogbook(dir, "--logbook " + db + " import --csv " + csv);
        EXPECT_EQ(r.status, 1) << c.csv;
        EXPECT_NE(r.out.find(csv + ": " + c.says), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
        EXPECT_EQ(hashOf(db), before) << c.csv;
    }
}

TEST(Import, FileLevelRefusalsNameTheFile)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    const std::string before = hashOf(db);
    const std::pair<std::string, std::string> cases[] = {
        {"Name,Colour\nx,y\n", ": line 1: no column of the header names a field"},
        {"", ": the file is empty"},
        {"Date,From\n2024-01-01,\"EDDF\n", ": line 2: malformed CSV"},
    };
    for (const auto& [text, says] : cases) {
        const std::string csv = dir.file("x.csv");
        writeFile(csv, text);
        const Ran r = runLogbook(dir, "--logbook " + db + " import --csv " + csv);
        EXPECT_EQ(r.status, 1) << text;
        EXPECT_NE(r.err.find(csv + says), std::string::npos) << r.err;
    }
    const Ran missing = runLogbook(dir, "--logbook " + db + " import --csv " + dir.file("none.csv"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.csv"), std::string::npos);
    EXPECT_EQ(hashOf(db), before);
}

TEST(Import, DuplicatesAreFoundAndFiledOnlyWhenAllowed)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    exec(db, "INSERT INTO tblLog (logid, date, departure, destination, timeDeparture) "
             "VALUES (12, '2024-01-05', 'EDDF', 'EGLL', '10:20')");
    const std::string csv = dir.file("dup.csv");
    // The same flight, the same flight at another time, and one to another place.
    writeFile(csv, "Date,From,To,TimeOut\n05.01.2024,EDDF,EGLL,1020\n2024-01-05,EDDF,EGLL,12:00\n"
                   "2024-01-05,EDDF,EGKK,10:20\n");
    const std::string before = hashOf(db);

    Ran r = runLogbook(dir, "--logbook " + db + " import --csv " + csv + " --dry-run");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("1 rows repeat an entry"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(csv + ": line 2 repeats entry 12 (2024-01-05 EDDF - EGLL 10:20)"), std::string::npos) << r.out;
    r = runLogbook(dir, "--logbook " + db + " import --csv " + csv);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(hashOf(db), before);

    r = runLogbook(dir, "--logbook " + db + " import --csv " + csv + " --allow-duplicates --dry-run");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Nothing was written (--dry-run)"), std::string::npos);
    EXPECT_EQ(hashOf(db), before);

    r = runLogbook(dir, "--logbook " + db + " import --csv " + csv + " --allow-duplicates");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rows(db).size(), 4u);
}

namespace {

// Hand-computed fixture. Hours per entry:
//  1  2023-05-01 EDDF-EGLL A320  flighttime 1:30                    1.5   pax 100 cargo 500
//  2  2023-05-20 EGLL-EDDF A320  flighttime 1,25 (decimal, comma)   1.25  pax 120 cargo 0
//  3  2023-12-31 EDDF-KJFK B777  none; 22:30 -> 06:45 next day      8.25  pax 300 cargo 2000
//  4  2024-01-02 KJFK-EDDF B777  none; 10:00 -> 17:30               7.5   pax Null cargo Null
//  5  2024-01-03 EDDF-EGLL A320  flighttime 2                       2.0   pax 50  cargo 100
//  6  2024-02-10 EDDM-LOWW C172  none; 23:10 -> 00:40 next day      1.5   pax 1   cargo 0
//  problems: 7 a time "::12", 8 pax 'abc', 9 arrival before departure unmarked, 10 no times at all,
//            11 a date that is not a date
void fillStatsFixture(const std::string& db)
{
    exec(db, R"sql(
INSERT INTO tblLog VALUES (1, '2023-05-01', 'EDDF', '08:00', 'EGLL', '09:30', 0, '1:30', 'A320', 'Lufthansa', NULL, 'IFR', 100, 500, NULL, NULL);
INSERT INTO tblLog VALUES (2, '2023-05-20', 'EGLL', '12:00', 'EDDF', '13:15', 0, '1,25', 'A320', 'Lufthansa', NULL, 'IFR', 120, 0, NULL, NULL);
INSERT INTO tblLog VALUES (3, '2023-12-31', 'EDDF', '22:30', 'KJFK', '06:45', 1, NULL, 'B777', 'Lufthansa', NULL, 'IFR', 300, 2000, NULL, NULL);
INSERT INTO tblLog VALUES (4, '2024-01-02', 'KJFK', '10:00', 'EDDF', '17:30', 0, '', 'B777', 'Condor', NULL, 'IFR', NULL, NULL, NULL, NULL);
INSERT INTO tblLog VALUES (5, '2024-01-03', 'EDDF', '07:00', 'EGLL', '09:00', 0, '2', 'A320', 'Condor', NULL, 'IFR', 50, 100, NULL, NULL);
INSERT INTO tblLog VALUES (6, '2024-02-10', 'EDDM', '23:10', 'LOWW', '00:40', 1, NULL, 'C172', NULL, NULL, 'VFR', 1, 0, NULL, NULL);
INSERT INTO tblLog VALUES (7, '2024-02-11', 'LOWW', '::12', 'EDDM', '10:00', 0, NULL, 'C172', NULL, NULL, 'VFR', 1, 0, NULL, NULL);
INSERT INTO tblLog VALUES (8, '2024-02-12', 'LOWW', '08:00', 'EDDM', '09:00', 0, '1:00', 'C172', NULL, NULL, 'VFR', 'abc', 0, NULL, NULL);
INSERT INTO tblLog VALUES (9, '2024-02-13', 'LOWW', '23:00', 'EDDM', '00:30', 0, NULL, 'C172', NULL, NULL, 'VFR', 1, 0, NULL, NULL);
INSERT INTO tblLog VALUES (10, '2024-02-14', 'LOWW', NULL, 'EDDM', NULL, 0, NULL, 'C172', NULL, NULL, 'VFR', 1, 0, NULL, NULL);
INSERT INTO tblLog VALUES (11, '14.02.2024', 'LOWW', '08:00', 'EDDM', '09:00', 0, '1:00', 'C172', NULL, NULL, 'VFR', 1, 0, NULL, NULL);
)sql");
}

json statsJson(const TempFolder& dir, const std::string& db, const std::string& args)
{
    const Ran r = runLogbook(dir, "--logbook " + db + " stats --json " + args);
    EXPECT_EQ(r.status, 0) << r.err;
    return json::parse(r.out);
}

} // namespace

TEST(Stats, SumsAgainstAHandComputedFixture)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir, "Wingtrail.dat", /*withoutRules=*/true);
    fillStatsFixture(db);

    json all = statsJson(dir, db, "--problems");
    EXPECT_EQ(all["total"]["flights"], 6);
    EXPECT_DOUBLE_EQ(all["total"]["hours"].get<double>(), 22.0);
    EXPECT_EQ(all["total"]["pax"], 571);
    EXPECT_EQ(all["total"]["cargo"], 2600);
    EXPECT_EQ(all["not_counted"], 5);
    std::vector<int> problemIds;
    for (const auto& p : all["problems"])
        problemIds.push_back(p["logid"].get<int>());
    EXPECT_EQ(problemIds, (std::vector<int>{7, 8, 9, 10, 11}));
    EXPECT_EQ(all["first_date"], "2023-05-01");
    EXPECT_EQ(all["last_date"], "2024-02-10");

    struct Expect {
        std::string by;
        std::vector<std::tuple<std::string, int, double>> groups;  // key, flights, hours, in order
    };
    const std::vector<Expect> expects = {
        {"year", {{"2023", 3, 11.0}, {"2024", 3, 11.0}}},
        {"month", {{"2023-05", 2, 2.75}, {"2023-12", 1, 8.25}, {"2024-01", 2, 9.5}, {"2024-02", 1, 1.5}}},
        {"aircraft", {{"B777", 2, 15.75}, {"A320", 3, 4.75}, {"C172", 1, 1.5}}},
        {"airline", {{"Condor", 2, 9.5}, {"Lufthansa", 3, 11.0}, {"(none)", 1, 1.5}}},
        {"route", {{"EDDF - KJFK", 1, 8.25}, {"KJFK - EDDF", 1, 7.5}, {"EDDF - EGLL", 2, 3.5},
                   {"EDDM - LOWW", 1, 1.5}, {"EGLL - EDDF", 1, 1.25}}},
        {"rule", {{"IFR", 5, 20.5}, {"VFR", 1, 1.5}}},
    };
    for (const auto& e : expects) {
        json s = statsJson(dir, db, "--by " + e.by);
        EXPECT_EQ(s["by"], e.by);
        auto want = e.groups;
        if (e.by == "airline")  // most hours first
            std::swap(want[0], want[1]);
        ASSERT_EQ(s["groups"].size(), want.size()) << e.by;
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(s["groups"][i]["key"], std::get<0>(want[i])) << e.by;
            EXPECT_EQ(s["groups"][i]["flights"], std::get<1>(want[i])) << e.by;
            EXPECT_DOUBLE_EQ(s["groups"][i]["hours"].get<double>(), std::get<2>(want[i])) << e.by;
        }
    }

    // A date range counts the days at both ends.
    json range = statsJson(dir, db, "--from 2023-12-31 --to 2024-01-03");
    EXPECT_EQ(range["total"]["flights"], 3);
    EXPECT_DOUBLE_EQ(range["total"]["hours"].get<double>(), 17.75);

    const Ran text = runLogbook(dir, "--logbook " + db + " stats --by year");
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("5 entries not counted"), std::string::npos) << text.out;
}

TEST(List, RealDateOrderFiltersAndTheOverviewsCellTexts)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    fillTricky(db);
    // As text "DD-MM-YYYY" the overview would put 31-12-2023 after 05-01-2024.
    Ran r = runLogbook(dir, "--logbook " + db + " list --json");
    ASSERT_EQ(r.status, 0) << r.err;
    json all = json::parse(r.out);
    ASSERT_EQ(all.size(), 4u);
    std::vector<std::string> order;
    for (const auto& e : all)
        order.push_back(e["Nr."]);
    EXPECT_EQ(order, (std::vector<std::string>{"40000", "8", "3", "7"}));  // no date first
    EXPECT_EQ(all[2]["Date"], "05-01-2024");
    EXPECT_EQ(all[2]["Cargo"], "1200 lbs");
    EXPECT_EQ(all[2]["Flight time"], "1:30");
    EXPECT_EQ(all[3]["Arrival Time"], "06:45+1");
    EXPECT_EQ(all[3]["Cargo"], "0 lbs");
    EXPECT_EQ(all[1]["Cargo"], "");  // Null cargo: no unit either

    const std::pair<std::string, std::vector<std::string>> filters[] = {
        {"--airport egll", {"3", "7"}},
        {"--from 2024-01-01 --to 2024-01-05", {"3"}},
        {"--aircraft 777", {"7"}},
        {"--rule vfr", {"8"}},
        {"--callsign dlh", {"3"}},
        {"--text \"line two\"", {"7"}},
        {"--sort departure", {"8", "3", "7", "40000"}},
    };
    for (const auto& [args, want] : filters) {
        r = runLogbook(dir, "--logbook " + db + " list --csv " + args);
        ASSERT_EQ(r.status, 0) << args << r.err;
        std::vector<std::string> ids;
        std::size_t at = r.out.find("\r\n") + 2;
        while (at < r.out.size()) {
            ids.push_back(r.out.substr(at, r.out.find(',', at) - at));
            // a record ends at a CRLF outside quotes; the fixture's only quoted line break is in entry 7
            std::size_t end = r.out.find("\r\n", at);
            if (ids.back() == "7")
                end = r.out.find("\r\n", r.out.find("with a comma", at));
            at = end + 2;
        }
        EXPECT_EQ(ids, want) << args;
    }
    r = runLogbook(dir, "--logbook " + db + " find Wolken");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("8\t31-12-2023\t\tLSZH"), std::string::npos) << r.out;
}

TEST(Check, ListsWhatTheWindowsCannotShow)
{
    TempFolder dir;
    const std::string good = makeLogbook(dir, "good.dat");
    fillStatsFixture(makeLogbook(dir, "bad.dat", true));
    const std::string bad = dir.file("bad.dat");
    exec(bad, "INSERT INTO tblLog (logid, date, pax, cargo, nextday) VALUES (40000, '2024-01-01', 1.5, '12 kg', 2)");
    exec(good, "INSERT INTO tblLog (date, departure) VALUES ('2024-01-01', 'EDDF')");

    Ran r = runLogbook(dir, "--logbook " + good + " check");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("1 entries; integrity_check ok"), std::string::npos) << r.out;

    r = runLogbook(dir, "--logbook " + bad + " check");
    EXPECT_EQ(r.status, 1);
    for (const char* says : {"entry 8: the passengers 'abc' is not a whole number",
                             "entry 11: the date '14.02.2024' is not a date",
                             "entry 40000: its number cannot be chosen in the edit window",
                             "entry 40000: the passengers '1.5' is not a whole number",
                             "entry 40000: the cargo '12 kg' is not a whole number",
                             "entry 40000: the next-day mark '2' is neither yes nor no"})
        EXPECT_NE(r.out.find(says), std::string::npos) << says << "\n" << r.out;

    // A table another program made in a shape of its own.
    const std::string odd = makeLogbook(dir, "odd.dat");
    exec(odd, "DROP TABLE tblLog; CREATE TABLE tblLog (logid INTEGER PRIMARY KEY, date TEXT, departure TEXT, "
              "timeDeparture TEXT, destination TEXT, timeArrival TEXT, nextday BOOLEAN, flighttime TEXT, "
              "aircraft TEXT, airline TEXT, callsign TEXT, flightrule TEXT, pax INTEGER, cargo INTEGER, "
              "remarks TEXT, notes TEXT)");
    r = runLogbook(dir, "--logbook " + odd + " check");
    EXPECT_EQ(r.status, 1);
    for (const char* says : {"shape: the field date is declared TEXT, not DATE", "shape: the field route is missing",
                             "shape: the table has a field notes"})
        EXPECT_NE(r.out.find(says), std::string::npos) << says << "\n" << r.out;
}

TEST(CommandLine, ExitStatusAndWhichLogbook)
{
    TempFolder dir;
    EXPECT_EQ(runLogbook(dir, "--help").status, 0);
    for (const char* cmd : {"stats", "list", "find", "export", "import", "backup", "check", "report"}) {
        const Ran r = runLogbook(dir, std::string(cmd) + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_NE(r.out.find(cmd), std::string::npos) << cmd;
    }
    for (const char* bad : {"", "fly", "stats --by week", "stats --from 1.1.2024", "export", "import",
                            "list --csv --json", "backup"})
        EXPECT_EQ(runLogbook(dir, bad).status, 2) << bad;

    // Without --logbook: the per-user logbook of the installed program, when there is one.
    const std::string data = dir.file("data");
    fs::create_directories(data + "/wingtrail");
    logbook::CreateLogbook(data + "/wingtrail/Wingtrail.dat");
    exec(data + "/wingtrail/Wingtrail.dat", "INSERT INTO tblLog (date, flighttime) VALUES ('2024-01-01', '2')");
    Ran r = runLogbook(dir, "stats --json", "XDG_DATA_HOME=" + data);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out)["total"]["flights"], 1);
    // Otherwise the one beside the program, which the build folder does not have.
    r = runLogbook(dir, "stats", "XDG_DATA_HOME=" + dir.file("nowhere") + " HOME=" + dir.file("nohome"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/bin/Wingtrail.dat"), std::string::npos) << r.err;
}

TEST(Report, OneSelfContainedPage)
{
    TempFolder dir;
    const std::string db = makeLogbook(dir, "Wingtrail.dat", true);
    fillStatsFixture(db);
    const std::string page = dir.file("report.html");
    const Ran r = runLogbook(dir, "--logbook " + db + " report --html " + page);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string html = readAll(page);
    for (const char* has : {"<svg", "Hours per month", "Flights per year", "Top routes", "Top aircraft",
                            "EDDF - KJFK", "B777", "name=\"viewport\"", "@media print", "22.0"})
        EXPECT_NE(html.find(has), std::string::npos) << has;
    for (const char* hasNot : {"<script", "http://", "https://", "<link", "<img", "url("})
        EXPECT_EQ(html.find(hasNot), std::string::npos) << hasNot;
    // Months without flights still have their place on the axis: May 2023 to February 2024.
    std::size_t bars = 0;
    const std::size_t months = html.find("Hours per month"), years = html.find("Flights per year");
    for (std::size_t at = html.find("class=\"bar\"", months); at < years; at = html.find("class=\"bar\"", at + 1))
        ++bars;
    EXPECT_EQ(bars, 10u);
}

TEST(Progress, OnStderrOnlyWhenItIsATerminal)
{
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "script (util-linux) is not installed: no terminal to run the program on";
    TempFolder dir;
    const std::string db = makeLogbook(dir);
    const std::string csv = dir.file("many.csv");
    std::string text = "Date,From,To,TimeOut,Remarks\n";
    for (int i = 0; i < 30000; ++i)  // a few megabytes: more than one block of the reader
        text += "2024-01-01,EDDF,EGLL," + std::to_string(10 + i % 10) + ":" + std::to_string(10 + i % 50)
            + ",Flight number " + std::to_string(i) + " of a long series of practice circuits\n";
    writeFile(csv, text);

    // Not a terminal: nothing but the preview and the result.
    Ran plain = runLogbook(dir, "--logbook " + db + " import --csv " + csv + " --allow-duplicates --dry-run");
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");

    // On a terminal (script gives the program one), the progress line is written and cleared.
    const char* bin = std::getenv("WT_BIN_DIR");
    const std::string out = dir.file("tty.out");
    const std::string cmd = "script -qec '" + std::string(bin ? bin : ".") + "/wingtrail-logbook --logbook " + db
        + " import --csv " + csv + " --allow-duplicates --dry-run' /dev/null >" + out + " 2>&1 </dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string tty = readAll(out);
    EXPECT_NE(tty.find("\rimport: reading: "), std::string::npos) << tty.substr(0, 300);
    EXPECT_NE(tty.find("\r\033[K"), std::string::npos);
}
