#pragma once
// The overview's list in report view: a fixed set of columns, rows appended by text with
// up to 13 sub-items, one selected row, and a sort state (Sorted, SortKey, SortOrder)
// that keeps the rows in order of one column's text.
//
// Built for a million rows: the cells live in packed UTF-8 records (RowStore), the model
// announces a whole fill at once (ListModel), and a sort orders a permutation by
// precomputed 16-byte keys (ListSort). The rows are drawn by a table view without grid or
// row headers: unlike a tree view, which lays out a 40-byte item for every row before it
// paints the first, a table keeps 8 bytes a row and paints the visible rows alone.
#include <QHeaderView>
#include <QString>
#include <QTableView>
#include <functional>
#include <optional>
#include <string_view>

#include "overview/ListModel.h"

class ListView : public QTableView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    ~ListView() override;

    // The column headers.
    QHeaderView* header() const { return horizontalHeader(); }

    void addColumn(const QString& header, int widthTwips);
    int addItem(const QString& text);                       // returns a handle for setSubItem
    void setSubItem(int item, int k, const QString& text);  // k = 1..13
    // UTF-8 overloads: the fill hands the database's text straight through.
    int addItem(std::string_view utf8);
    void setSubItem(int item, int k, std::string_view utf8) { model_->setSubItem(item, k, utf8); }
    // Literals are UTF-8 too; without these a literal would fit two of the above.
    int addItem(const char* utf8) { return addItem(std::string_view(utf8)); }
    void setSubItem(int item, int k, const char* utf8) { setSubItem(item, k, std::string_view(utf8)); }
    void clear();
    int count() const;
    // What row `row` (display order) shows in column `column` (0-based); brings a
    // pending sort up to date. Out of range gives an empty text.
    QString text(int row, int column) const;
    std::optional<QString> selectedText() const;
    // Publishes rows appended and a sort asked for since the event loop last turned, so
    // that the model, its indexes and its selection show them (the screen reader's view).
    void bringUpToDate() const;

    bool Sorted() const;
    void setSorted(bool sorted);
    int SortKey() const;
    void setSortKey(int key);
    int SortOrder() const;  // 0 ascending, 1 descending
    void setSortOrder(int order);

    std::function<void(int column)> ColumnClick;  // header click, 1-based column

    // Bytes held for the rows (cells, order), not counting the view's own bookkeeping.
    std::size_t bytesHeld() const;

protected:
    // The keys of a list in report view: Home and End go to the first and the last row,
    // Left and Right scroll sideways; the selection is always a whole row.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    overview_detail::ListModel* model_;
};
