#pragma once
// The overview's list in report view: a fixed set of columns, rows appended by text with
// up to 13 sub-items, one selected row, and a sort state (Sorted, SortKey, SortOrder)
// that keeps the rows in order of one column's text.
//
// Built for a million rows: the cells live in packed UTF-8 records (RowStore), the view
// learns about appended rows and a pending re-sort in one step (see sync()), not one
// signal per row, and a sort orders a permutation by precomputed 16-byte keys.
#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace overview_detail {

// The cells of every row in append order. A row is one record in a large chunk:
// a byte holding the number of cells present, then each cell as a varint length and its
// UTF-8 bytes; cells past the last one present are empty. A row of 14 short cells costs
// its text plus about 23 bytes.
class RowStore {
public:
    static constexpr int kMaxCells = 14;

    int size() const { return static_cast<int>(rows_.size()); }
    // Appends a row whose first cell is text; returns its handle (0, 1, 2, ...).
    int append(std::string_view text);
    // Cell k (0 = the row's own text) of the row with that handle.
    std::string_view cell(int handle, int k) const;
    void setCell(int handle, int k, std::string_view text);
    void clear();
    // Bytes held, for the memory checks.
    std::size_t bytesHeld() const;

private:
    struct Chunk {
        std::unique_ptr<char[]> data;
        std::uint32_t capacity = 0;
        std::uint32_t used = 0;
    };
    const char* record(int handle) const;
    char* reserve(std::size_t bytes); // room at the end of the last chunk
    void compact();

    std::vector<Chunk> chunks_;
    std::vector<std::uint64_t> rows_; // chunk index << 32 | offset in the chunk
    std::size_t liveBytes_ = 0;
    std::size_t deadBytes_ = 0;       // records left behind by rewritten rows
    std::string scratch_;
    int tail_ = -1; // the row whose record ends the last chunk, so it can grow in place
};

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
    void setSubItem(int item, int k, std::string_view text);
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
    void changed();
    void sortRows();

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

class ListView : public QTreeView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    ~ListView() override;

    void addColumn(const QString& header, int widthTwips);
    int addItem(const QString& text);                       // returns a handle for setSubItem
    void setSubItem(int item, int k, const QString& text);  // k = 1..13
    // UTF-8 overloads: the fill hands the database's text straight through.
    int addItem(std::string_view utf8);
    void setSubItem(int item, int k, std::string_view utf8);
    // Literals are UTF-8 too; without these a literal would fit two of the above.
    int addItem(const char* utf8) { return addItem(std::string_view(utf8)); }
    void setSubItem(int item, int k, const char* utf8) { setSubItem(item, k, std::string_view(utf8)); }
    void clear();
    int count() const;
    // What row `row` (display order) shows in column `column` (0-based); brings a
    // pending sort up to date. Out of range gives an empty text.
    QString text(int row, int column) const;
    std::optional<QString> selectedText() const;

    bool Sorted() const;
    void setSorted(bool sorted);
    int SortKey() const;
    void setSortKey(int key);
    int SortOrder() const;  // 0 ascending, 1 descending
    void setSortOrder(int order);

    std::function<void(int column)> ColumnClick;  // header click, 1-based column

    // Bytes held for the rows (cells, order), not counting the view's own bookkeeping.
    std::size_t bytesHeld() const;

private:
    overview_detail::ListModel* model_;
};
