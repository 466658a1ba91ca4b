#pragma once
// The list's rows as a Qt table model: the cells in a RowStore, the display order as a
// permutation of row handles, and the sort state (Sorted, SortKey, SortOrder). The view
// learns about appended rows and a pending re-sort in one step (see sync()), not one
// signal per row.
#include <QAbstractTableModel>
#include <QStringList>
#include <cstdint>
#include <string_view>
#include <vector>

#include "overview/RowStore.h"

namespace overview_detail {

class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void addColumn(const QString& header);
    int addItem(std::string_view text);
    void setSubItem(int item, int k, std::string_view text)
    {
        if (item < 0 || item >= store_.size() || k < 1 || k >= RowStore::kMaxCells)
            return;
        store_.setCell(item, k, text);
        if (sorted_ && k == sortKey_)
            sortPending_ = true;
        // Handles count up from the last sync, so a handle below the number of rows the
        // view knows is one of those rows; rows not yet announced are drawn fresh anyway.
        if (item < published_)
            cellsChanged_ = true;
        changed();
    }
    void clear();
    int count() const { return static_cast<int>(order_.size()); }
    std::string_view cell(int row, int column) const; // display order; call sync() first

    bool sorted() const { return sorted_; }
    void setSorted(bool sorted);
    int sortKey() const { return sortKey_; }
    void setSortKey(int key);
    int sortOrder() const { return sortOrder_; }
    void setSortOrder(int order);

    // Brings the view up to date: announces rows appended since the last sync and
    // carries out a pending sort. Runs before every read and once the event loop turns
    // after a change.
    void sync();
    std::size_t bytesHeld() const;

private:
    void changed()
    {
        if (!syncQueued_)
            queueSync();
    }
    void queueSync();

    RowStore store_;
    std::vector<std::uint32_t> order_; // handles in display order
    int published_ = 0;                // rows the view knows about
    QStringList headers_;
    bool sorted_ = false;
    int sortKey_ = 0;
    int sortOrder_ = 0;
    bool sortPending_ = false;
    bool cellsChanged_ = false; // a cell of a row the view already shows was set
    bool syncQueued_ = false;
};

} // namespace overview_detail
