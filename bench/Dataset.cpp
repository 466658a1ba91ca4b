#include "Dataset.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "store/Logbook.h"

namespace fs = std::filesystem;

namespace bench {

namespace {

// Bump when the generated values change, so that cached logbooks are made again.
constexpr int kGeneratorVersion = 1;
constexpr std::uint64_t kSeed = 0x57696e677472616cULL;

constexpr std::array<const char*, 14> kFields = {
    "logid", "date", "departure", "destination", "timeDeparture", "timeArrival", "aircraft",
    "airline", "callsign", "flightrule", "pax", "cargo", "remarks", "route"};
constexpr std::array<const char*, 14> kHeaders = {
    "Nr.", "Date", "From", "Destination", "Departure time", "Arrival Time", "Aircraft",
    "Airline", "Callsign", "Flightrule", "Passengers", "Cargo", "Remarks", "Route"};

// splitmix64: the same sequence on every compiler and library, unlike the standard
// distributions.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (s_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < n
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(1000) < percent * 10; }
    bool permille(int p) { return below(1000) < p; }
    template <std::size_t K> const char* pick(const std::array<const char*, K>& a) { return a[below(K)]; }

private:
    std::uint64_t s_;
};

constexpr std::array<const char*, 64> kAirports = {
    "EDDF", "EDDM", "EDDH", "EDDB", "EDDL", "EDDK", "EDDS", "EDDN", "EGLL", "EGKK", "EGCC", "EGPH",
    "LFPG", "LFPO", "LFMN", "LFLL", "EHAM", "EBBR", "ELLX", "LSZH", "LSGG", "LOWW", "LOWI", "LIRF",
    "LIMC", "LEMD", "LEBL", "LEPA", "LPPT", "LPMA", "EKCH", "ESSA", "ENGM", "EFHK", "BIKF", "EIDW",
    "LGAV", "LTFM", "LKPR", "EPWA", "LHBP", "KJFK", "KLAX", "KSFO", "KORD", "KATL", "KSEA", "KBOS",
    "CYYZ", "CYVR", "PANC", "PHNL", "MMMX", "SBGR", "SAEZ", "FAOR", "OMDB", "VHHH", "RJTT", "WSSS",
    "YSSY", "NZAA", "VIDP", "ZBAA"};

constexpr std::array<const char*, 24> kAircraft = {
    "A320", "A321neo", "A319", "A330-300", "A350-900", "A380-800", "B738", "B737-800", "B747-400",
    "B777-300ER", "B787-9", "B757-200", "CRJ700", "E190", "ATR 72-600", "Dash 8 Q400",
    "Cessna 172 Skyhawk", "C182", "PA-28 Warrior", "DHC-6 Twin Otter", "MD-82", "Fokker 100",
    "King Air 350", "Pilatus PC-12"};

constexpr std::array<const char*, 20> kAirlines = {
    "Lufthansa", "British Airways", "Air France", "KLM Royal Dutch Airlines", "Swiss", "Austrian",
    "Iberia", "SAS Scandinavian Airlines", "Aer Lingus", "easyJet", "Ryanair", "Delta Air Lines",
    "United Airlines", "American Airlines", "Emirates", "Qantas", "Singapore Airlines", "Condor",
    "FedEx Express", "Wingtrail Virtual"};
constexpr std::array<const char*, 20> kAirlineCodes = {
    "DLH", "BAW", "AFR", "KLM", "SWR", "AUA", "IBE", "SAS", "EIN", "EZY", "RYR", "DAL",
    "UAL", "AAL", "UAE", "QFA", "SIA", "CFG", "FDX", "WTV"};

constexpr std::array<const char*, 30> kRemarks = {
    "Smooth flight", "Light chop over the Alps", "VATSIM event", "Crosswind landing on 27R",
    "Go-around due to traffic on the runway", "ILS approach in low visibility", "Diverted to alternate",
    "Night flight", "Landed in Zürich at dusk", "Über den Wolken", "Beautiful sunset over the sea",
    "Moderate turbulence at FL340", "Hand-flown departure", "Autoland CAT IIIb", "Holding at the IAF",
    "Engine failure drill after V1", "Short field landing", "Icing in the climb", "Tailwind, early arrival",
    "ATC vectors for spacing", "Visual approach", "Heavy rain on arrival", "First flight in this type",
    "Checkride with a friend", "Overweight landing", "Fuel stop", "Sightseeing around the coast",
    "Lost the autopilot in cruise", "Touch-and-goes", "Flight school circuit"};

constexpr std::array<const char*, 12> kAirways = {
    "UL9", "UN871", "Y100", "T161", "Q41", "UM605", "L980", "N601", "J146", "UZ29", "M867", "A1"};
constexpr std::array<const char*, 24> kSyllables = {
    "KO", "NAN", "WO", "BUN", "TI", "BAN", "LA", "MUR", "DE", "PEN", "RI", "VAK",
    "SO", "GUL", "BE", "TAS", "NI", "LUX", "GE", "RAL", "MA", "DOX", "PU", "SEK"};

std::string waypoint(Rng& rng)
{
    std::string w;
    while (w.size() < 5)
        w += rng.pick(kSyllables);
    return w.substr(0, 5);
}

std::string hhmm(int minutes)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", (minutes / 60) % 24, minutes % 60);
    return buf;
}

// Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
std::string isoDate(long days)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long doe = days - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long y = yoe + era * 400;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
    return buf;
}

struct Entry {
    std::optional<std::string> text[15];
    std::optional<long long> number[15];
};

enum Field { Date, Departure, TimeDeparture, Destination, TimeArrival, NextDay, FlightTime, Aircraft,
             Airline, Callsign, FlightRule, Pax, Cargo, Remarks, Route, FieldCount };

constexpr const char* kInsert =
    "INSERT INTO tblLog (date, departure, timeDeparture, destination, timeArrival, nextday, "
    "flighttime, aircraft, airline, callsign, flightrule, pax, cargo, remarks, route) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// One flight. Entries follow the calendar as a real logbook does, with some filed late.
Entry makeEntry(Rng& rng, long index, long rows)
{
    Entry e;
    const long firstDay = 10227;  // 1998-01-01
    const long span = 9861;       // up to 2024-12-31
    long day = firstDay + static_cast<long>(static_cast<double>(index) / static_cast<double>(rows) * span);
    if (rng.chance(10))
        day = firstDay + rng.below(static_cast<int>(span));
    e.text[Date] = isoDate(day);

    const int from = rng.below(static_cast<int>(kAirports.size()));
    int to = rng.below(static_cast<int>(kAirports.size()));
    if (rng.chance(5))
        to = from;  // a local flight
    if (!rng.permille(8))
        e.text[Departure] = kAirports[from];
    if (!rng.permille(8))
        e.text[Destination] = kAirports[to];

    const int dep = rng.below(24 * 60);
    const int duration = 20 + rng.below(rng.chance(20) ? 14 * 60 : 4 * 60);
    const int arr = dep + duration;
    if (!rng.chance(2))
        e.text[TimeDeparture] = hhmm(dep);
    if (!rng.chance(2))
        e.text[TimeArrival] = hhmm(arr);
    if (rng.permille(5))
        e.number[NextDay].reset();  // an old entry from before the box existed
    else
        e.number[NextDay] = arr >= 24 * 60 ? 1 : 0;
    if (!rng.chance(3))
        e.text[FlightTime] = hhmm(duration);

    e.text[Aircraft] = rng.pick(kAircraft);
    if (rng.chance(1))
        e.text[Aircraft].reset();
    const int airline = rng.below(static_cast<int>(kAirlines.size()));
    const bool privateFlight = rng.chance(12);
    if (!privateFlight)
        e.text[Airline] = kAirlines[airline];
    if (privateFlight) {
        std::string reg = "D-E";
        for (int i = 0; i < 3; ++i)
            reg += static_cast<char>('A' + rng.below(26));
        e.text[Callsign] = reg;
    } else if (!rng.chance(3)) {
        std::string cs = kAirlineCodes[airline] + std::to_string(1 + rng.below(rng.chance(50) ? 9999 : 999));
        if (rng.chance(20))
            cs += static_cast<char>('A' + rng.below(26));
        e.text[Callsign] = cs;
    }

    const int rule = rng.below(100);
    e.text[FlightRule] = rule < 68 ? "IFR" : rule < 93 ? "VFR" : rule < 96 ? "SVFR" : rule < 98 ? "Y" : "IFR/VFR";
    if (rng.chance(1))
        e.text[FlightRule].reset();

    if (!rng.chance(5))
        e.number[Pax] = privateFlight ? rng.below(4) : rng.below(450);
    if (!rng.chance(10))
        e.number[Cargo] = rng.chance(15) ? 0 : static_cast<long long>(rng.below(120000));

    // Remarks: often none, usually a phrase or two, now and then a long story.
    if (!rng.chance(35)) {
        std::string r = rng.pick(kRemarks);
        const int more = rng.permille(15) ? 10 + rng.below(25) : rng.below(3);
        for (int i = 0; i < more && r.size() < 980; ++i)
            r += std::string(". ") + rng.pick(kRemarks);
        e.text[Remarks] = r.substr(0, 1000);
    }
    // Routes: IFR flights mostly carry one, VFR flights seldom.
    if (rule < 68 ? !rng.chance(15) : rng.chance(20)) {
        std::string r = waypoint(rng);
        const int legs = 1 + rng.below(rng.chance(10) ? 40 : 8);
        for (int i = 0; i < legs; ++i)
            r += std::string(" ") + (rng.chance(30) ? "DCT" : rng.pick(kAirways)) + " " + waypoint(rng);
        e.text[Route] = r.substr(0, 1000);
    }
    return e;
}

void check(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void generate(const std::string& path, long rows)
{
    logbook::CreateLogbook(path);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path);
    }
    sqlite3_stmt* insert = nullptr;
    try {
        // A file that is only ever made again from the seed needs no journal while filling.
        check(db, sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr),
              "begin");
        check(db, sqlite3_prepare_v2(db, kInsert, -1, &insert, nullptr), "prepare");
        Rng rng(kSeed);
        for (long i = 0; i < rows; ++i) {
            const Entry e = makeEntry(rng, i, rows);
            for (int f = 0; f < FieldCount; ++f) {
                const int p = f + 1;
                if (e.text[f])
                    sqlite3_bind_text(insert, p, e.text[f]->data(), static_cast<int>(e.text[f]->size()), SQLITE_TRANSIENT);
                else if (e.number[f])
                    sqlite3_bind_int64(insert, p, *e.number[f]);
                else
                    sqlite3_bind_null(insert, p);
            }
            check(db, sqlite3_step(insert), "insert");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        insert = nullptr;
        check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    } catch (...) {
        sqlite3_finalize(insert);
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

std::string stamp(long rows)
{
    std::ostringstream s;
    s << "wingtrail-bench logbook, generator " << kGeneratorVersion << ", " << rows << " entries\n";
    return s.str();
}

} // namespace

const char* FieldOfColumn(int column) { return kFields.at(static_cast<std::size_t>(column - 1)); }
const char* HeaderOfColumn(int column) { return kHeaders.at(static_cast<std::size_t>(column - 1)); }

std::string PrepareLogbook(const std::string& cacheRoot, long rows)
{
    const fs::path folder = fs::path(cacheRoot) / std::to_string(rows);
    const fs::path file = folder / "Wingtrail.dat";
    const fs::path stampFile = folder / "generator.txt";
    {
        std::ifstream in(stampFile);
        const std::string have((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (have == stamp(rows) && fs::exists(file))
            return folder.string();
    }
    std::printf("making a logbook of %ld entries in %s ...", rows, folder.c_str());
    std::fflush(stdout);
    const auto t0 = std::chrono::steady_clock::now();
    fs::create_directories(folder);
    fs::remove(stampFile);
    fs::remove(file);
    // Made under another name and renamed when complete: an interrupted run leaves no
    // half-filled logbook that a later run would take for a finished one.
    const fs::path part = folder / "Wingtrail.dat.part";
    fs::remove(part);
    generate(part.string(), rows);
    fs::rename(part, file);
    std::ofstream(stampFile) << stamp(rows);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf(" %.1f s\n", s);
    std::fflush(stdout);
    return folder.string();
}

} // namespace bench
