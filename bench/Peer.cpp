#include <QHeaderView>
#include <QStringList>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "Dataset.h"
#include "Runs.h"
#include "Suite.h"
#include "store/Connection.h"
#include "store/Logbook.h"
#include "store/Recordset.h"

namespace bench {

namespace {

QString cell(const store::Value& v) { return QString::fromStdString(v.toText()); }

// DD-MM-YYYY from the stored YYYY-MM-DD.
QString shownDate(const store::Value& v)
{
    const std::string iso = v.toText();
    if (iso.size() != 10)
        return QString::fromStdString(iso);
    return QString::fromStdString(iso.substr(8, 2) + "-" + iso.substr(5, 2) + "-" + iso.substr(0, 4));
}

// The row as the overview shows it, read field by field from the current record.
QStringList rowTexts(const store::Recordset& rs)
{
    QStringList row;
    row.reserve(14);
    row << cell(rs.Fields("logid")) << shownDate(rs.Fields("Date"));
    for (const char* f : {"departure", "destination", "timeDeparture"})
        row << cell(rs.Fields(f));
    const store::Value arrival = rs.Fields("timeArrival");
    if (arrival.isNull())
        row << QString();
    else
        row << cell(arrival) + (rs.Fields("nextday").isTrue() ? QStringLiteral("+1") : QString());
    for (const char* f : {"aircraft", "airline", "callsign", "flightrule", "pax"})
        row << cell(rs.Fields(f));
    const store::Value cargo = rs.Fields("cargo");
    row << (cargo.isNull() ? QString() : cell(cargo) + QStringLiteral(" lbs"));
    row << cell(rs.Fields("remarks")) << cell(rs.Fields("route"));
    return row;
}

} // namespace

FillThenSort PeerRun(const std::string& programFolder, int sortColumn)
{
    FillThenSort out;
    // Set up as a careful developer would: flat list, uniform rows, no sizing to contents.
    QTreeWidget tree;
    tree.setColumnCount(14);
    QStringList headers;
    for (int c = 1; c <= 14; ++c)
        headers << QString::fromUtf8(HeaderOfColumn(c));
    tree.setHeaderLabels(headers);
    tree.setRootIsDecorated(false);
    tree.setUniformRowHeights(true);
    tree.resize(690, 337);

    const long before = ResidentBytes();
    store::Connection con;
    store::Recordset rs;
    {
        Stopwatch clock;
        con.setConnectionString(logbook::ConnectionString(programFolder));
        con.Open();
        rs.Open(logbook::kSelectAll, con);
        QList<QTreeWidgetItem*> items;
        while (!rs.Eof()) {
            items.append(new QTreeWidgetItem(rowTexts(rs)));
            rs.MoveNext();
        }
        tree.addTopLevelItems(items);
        out.fill.ms = clock.ms();
        out.fill.rows = tree.topLevelItemCount();
    }
    // Measured with the connection still open, as the overview's stays open.
    out.fill.residentGrowth = ResidentBytes() - before;

    if (sortColumn > 0) {
        Stopwatch clock;
        tree.sortItems(sortColumn - 1, Qt::DescendingOrder);
        out.sort.topText = tree.topLevelItemCount() ? tree.topLevelItem(0)->text(sortColumn - 1) : QString();
        out.sort.ms = clock.ms();
        out.sort.rows = tree.topLevelItemCount();
        out.sort.residentGrowth = ResidentBytes() - before;
    }
    rs.Close();
    con.Close();
    return out;
}

namespace {

void peer(const Setup& s, Samples& out)
{
    for (int c : s.columns) {
        const FillThenSort r = PeerRun(s.folder, c);
        out.expectRows("the QTreeWidget", r.fill.rows, s.n);
        out.add("peer fill", r.fill.ms);
        out.add("peer sort " + std::to_string(c), r.sort.ms);
    }
}

} // namespace

// What a developer would otherwise reach for, for comparison only: slow at 10^6 entries
// (minutes and about 2 GB), so it runs only when asked for.
void AddPeer(Suite& suite)
{
    Measurement m{"peer", peer};
    m.optIn = true;
    suite.add(m);
    suite.add(Row{"QTreeWidget filled from the same recordset", "peer fill", "scan", "(scan)", 0});
    for (int c : suite.columns)
        suite.add(Row{std::string("QTreeWidget sortItems \"") + HeaderOfColumn(c) + "\"", "peer sort " + std::to_string(c),
                      "orderby " + std::to_string(c), std::string("(ORDER BY ") + FieldOfColumn(c) + " DESC)", 0});
}

} // namespace bench
