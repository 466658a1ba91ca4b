#pragma once
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

class QTreeView;

namespace overview_detail {
class ListModel;
}

// The overview's list in report view: a fixed set of columns, rows appended by
// text with up to 13 sub-items, one selected row, and a sort state that keeps
// the rows in order of one column's text.
class ListView : public QWidget {
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
    void clear();
    int count() const;
    // What row `row` (display order) shows in column `column` (0-based).
    QString text(int row, int column) const;
    std::optional<QString> selectedText() const;

    bool Sorted() const;
    void setSorted(bool sorted);
    int SortKey() const;
    void setSortKey(int key);
    int SortOrder() const;  // 0 ascending, 1 descending
    void setSortOrder(int order);

    std::function<void(int column)> ColumnClick;  // header click, 1-based column

    QTreeView* view() const { return view_; }

private:
    QTreeView* view_ = nullptr;
    overview_detail::ListModel* model_ = nullptr;
};
