#include "overview/ListModel.h"

#include <unordered_map>

#include "overview/ListSort.h"

namespace overview_detail {

ListModel::ListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : published_; }

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

std::string_view ListModel::cell(int row, int column) const
{
    if (row < 0 || row >= count())
        return {};
    return store_.cell(static_cast<int>(order_[static_cast<std::size_t>(row)]), column);
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= published_)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        const std::string_view s = cell(index.row(), index.column());
        if (role == Qt::ToolTipRole && s.empty())
            return {};
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= headers_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return headers_[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const
{
    // Selectable, never editable: Edit and Delete read the first cell back as the entry's
    // number, so an edited cell would point them at another entry.
    return index.isValid() ? (Qt::ItemIsEnabled | Qt::ItemIsSelectable) : Qt::NoItemFlags;
}

void ListModel::addColumn(const QString& header)
{
    const int at = static_cast<int>(headers_.size());
    beginInsertColumns({}, at, at);
    headers_.append(header);
    endInsertColumns();
}

int ListModel::addItem(std::string_view text)
{
    const int handle = store_.append(text);
    order_.push_back(static_cast<std::uint32_t>(handle));
    if (sorted_)
        sortPending_ = true;
    changed();
    return handle;
}

void ListModel::clear()
{
    beginResetModel();
    store_.clear();
    order_.clear();
    order_.shrink_to_fit();
    published_ = 0;
    sortPending_ = false;
    cellsChanged_ = false;
    endResetModel();
}

void ListModel::setSorted(bool sorted)
{
    if (!sorted) {
        // Unsorting leaves the rows where a pending sort puts them.
        if (sorted_)
            sync();
        sorted_ = false;
        return;
    }
    sorted_ = true;
    sortPending_ = true;
    changed();
}

void ListModel::setSortKey(int key)
{
    sortKey_ = key;
    if (sorted_) {
        sortPending_ = true;
        changed();
    }
}

void ListModel::setSortOrder(int order)
{
    sortOrder_ = order == 0 ? 0 : 1;
    if (sorted_) {
        sortPending_ = true;
        changed();
    }
}

void ListModel::queueSync()
{
    // One sync when the event loop turns, however many rows a fill appends meanwhile.
    syncQueued_ = true;
    QMetaObject::invokeMethod(this, &ListModel::sync, Qt::QueuedConnection);
}

void ListModel::sync()
{
    syncQueued_ = false;
    const int n = count();
    if (published_ < n) {
        beginInsertRows({}, published_, n - 1);
        published_ = n;
        endInsertRows();
    }
    if (sorted_ && sortPending_) {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        // The selected and current rows stay with their entries.
        const QModelIndexList before = persistentIndexList();
        std::vector<std::uint32_t> handles;
        handles.reserve(static_cast<std::size_t>(before.size()));
        for (const QModelIndex& i : before)
            handles.push_back(order_[static_cast<std::size_t>(i.row())]);
        order_ = SortedOrder(store_, sortKey_, sortOrder_ == 1);
        if (!before.isEmpty()) {
            std::unordered_map<std::uint32_t, int> rowOf;
            for (std::uint32_t h : handles)
                rowOf.emplace(h, -1);
            for (std::size_t r = 0; r < order_.size(); ++r)
                if (auto it = rowOf.find(order_[r]); it != rowOf.end())
                    it->second = static_cast<int>(r);
            QModelIndexList after;
            after.reserve(before.size());
            for (qsizetype i = 0; i < before.size(); ++i)
                after.append(index(rowOf[handles[static_cast<std::size_t>(i)]], before[i].column()));
            changePersistentIndexList(before, after);
        }
        sortPending_ = false;
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    if (cellsChanged_) {
        cellsChanged_ = false;
        if (published_ > 0 && !headers_.isEmpty())
            emit dataChanged(index(0, 0), index(published_ - 1, static_cast<int>(headers_.size()) - 1),
                             {Qt::DisplayRole});
    }
}

std::size_t ListModel::bytesHeld() const
{
    return store_.bytesHeld() + order_.capacity() * sizeof(std::uint32_t);
}

} // namespace overview_detail
