#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <sqlite3.h>
#include <stdexcept>

#include "platform/App.h"
#include "platform/Errors.h"
#include "store/Logbook.h"
#include "store/Module1.h"

namespace wt::test {

ProgramFolder::ProgramFolder()
{
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder");
    logbook::CreateLogbook(databasePath());
    QDir(dir_.path()).mkpath(QStringLiteral("images"));
    const QString sample = QString::fromLocal8Bit(qgetenv("WT_SOURCE_DIR")) + "/resources/sample.png";
    if (!QFile::copy(sample, dir_.path() + "/images/Wingtrail.img"))
        throw std::runtime_error("cannot copy the sample picture from " + sample.toStdString());
    platform::App::setPath(dir_.path());
    Module1::conLog = std::make_shared<store::Connection>();
    Module1::rsLog = std::make_shared<store::Recordset>();
    Module1::rsEdit.reset();
    Module1::conLog->setConnectionString(logbook::ConnectionString(dir_.path().toStdString()));
    Module1::strImagePath = logbook::ProgramFile(dir_.path().toStdString(), logbook::kImageFile);
}

ProgramFolder::~ProgramFolder()
{
    Module1::rsEdit.reset();
    Module1::rsLog.reset();
    Module1::conLog.reset();
    platform::App::setPath(QString());
}

std::string ProgramFolder::databasePath() const { return dir_.path().toStdString() + "/Wingtrail.dat"; }

void ProgramFolder::exec(const std::string& sql) const
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    std::string msg = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("fixture SQL failed: " + msg);
}

void ProgramFolder::useTableWithoutRules(const std::string& rulesOfItsOwn) const
{
    exec("DROP TABLE tblLog;"
         "CREATE TABLE tblLog (logid INTEGER PRIMARY KEY, date DATE, departure TEXT, timeDeparture TEXT,"
         " destination TEXT, timeArrival TEXT, nextday BOOLEAN, flighttime TEXT, aircraft TEXT, airline TEXT,"
         " callsign TEXT, flightrule TEXT, pax INTEGER, cargo INTEGER, remarks TEXT, route TEXT"
         + rulesOfItsOwn + ")");
}

std::vector<Row> ReadRows(const std::string& databasePath, const std::string& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open " + databasePath);
    sqlite3_stmt* stmt = nullptr;
    std::vector<Row> rows;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error("cannot read: " + msg);
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            if (sqlite3_column_type(stmt, i) == SQLITE_NULL)
                row[sqlite3_column_name(stmt, i)] = std::nullopt;
            else
                row[sqlite3_column_name(stmt, i)] = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

Seams::Seams()
{
    platform::setMsgBoxHandler([this](const platform::MsgBoxCall& call) {
        questions.push_back(call);
        if (answers.empty())
            return int(platform::vbYes);
        const int a = answers.front();
        answers.pop_front();
        return a;
    });
    platform::setBeepHandler([this] { ++beeps; });
    platform::setRuntimeErrorHandler([this](const store::RuntimeError& e) { errors.push_back(e); });
}

Seams::~Seams()
{
    platform::setMsgBoxHandler({});
    platform::setBeepHandler({});
    platform::setRuntimeErrorHandler({});
}

void WhenShown(std::function<void()> whileOpen) { QTimer::singleShot(0, std::move(whileOpen)); }

QWidget* OpenWindow(const char* className)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits(className))
            return w;
    return nullptr;
}

} // namespace wt::test
