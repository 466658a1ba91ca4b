#include "overview/ListViewAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>

#include "overview/ListView.h"

namespace overview_detail {

namespace {

class Table;

// What a cell and a header have in common: a part of the list, with no children of its
// own and no object behind it.
class Part : public QAccessibleInterface {
public:
    explicit Part(ListView* view) : view_(view) {}
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QPointer<ListView> view_;
};

// One cell: row and column of what the list shows now. It reads its text when asked, so
// a sort or a refill never leaves it telling an old one.
class Cell : public Part, public QAccessibleTableCellInterface {
public:
    Cell(ListView* view, int row, int column) : Part(view), row_(row), column_(column) {}

    // The rows as published: bringing them up to date here could replace this very
    // cell while it answers (the table forgets its children when rows come).
    bool isValid() const override { return view_ && row_ < view_->model()->rowCount() && column_ < view_->model()->columnCount(); }
    QAccessible::Role role() const override { return QAccessible::Cell; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value))
            return {};
        return view_->model()->index(row_, column_).data().toString();
    }
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = view_->visualRect(view_->model()->index(row_, column_));
        return QRect(view_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        const QModelIndex index = view_->model()->index(row_, column_);
        s.selectable = true;
        s.focusable = true;
        s.selected = view_->selectionModel()->isRowSelected(row_, {});
        s.focused = view_->hasFocus() && view_->currentIndex().row() == row_;
        s.invisible = !view_->viewport()->rect().intersects(view_->visualRect(index));
        s.offscreen = s.invisible;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    bool isSelected() const override { return isValid() && view_->selectionModel()->isRowSelected(row_, {}); }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        QAccessibleInterface* table = parent();
        return table ? QList<QAccessibleInterface*>{table->child(column_)} : QList<QAccessibleInterface*>{};
    }
    QAccessibleInterface* table() const override { return parent(); }

private:
    int row_, column_;
};

// One column header; its action is the header click.
class HeaderCell : public Part, public QAccessibleActionInterface {
public:
    HeaderCell(ListView* view, int column) : Part(view), column_(column) {}
    int column() const { return column_; }

    bool isValid() const override { return view_ && column_ < view_->model()->columnCount(); }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || t != QAccessible::Name)
            return {};
        return view_->model()->headerData(column_, Qt::Horizontal).toString();
    }
    QRect rect() const override
    {
        if (!isValid())
            return {};
        QHeaderView* h = view_->header();
        const QPoint at = h->viewport()->mapToGlobal(QPoint(h->sectionViewportPosition(column_), 0));
        return QRect(at, QSize(h->sectionSize(column_), h->height()));
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        const QHeaderView* h = view_->header();
        const int x = h->sectionViewportPosition(column_);
        s.invisible = x + h->sectionSize(column_) <= 0 || x >= h->viewport()->width();
        s.offscreen = s.invisible;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        // The header's own signal: the list answers it as it answers a mouse click.
        if (action == pressAction() && isValid())
            emit view_->header()->sectionClicked(column_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    int column_;
};

// The table: child i is header i for the first row of children, then the cells row by
// row. The interfaces made for children are kept by index until the rows change.
class Table : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit Table(ListView* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~Table() override { forget(); }

    ListView* view() const { return static_cast<ListView*>(widget()); }
    int columns() const { return view()->model()->columnCount(); }
    int rows() const
    {
        view()->bringUpToDate();
        return view()->model()->rowCount();
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    int childCount() const override { return columns() * (rows() + 1); }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (const auto id = ids_.value(index, 0))
            if (QAccessibleInterface* known = QAccessible::accessibleInterface(id))
                return known;
        QAccessibleInterface* made = index < columns()
            ? static_cast<QAccessibleInterface*>(new HeaderCell(view(), index))
            : new Cell(view(), index / columns() - 1, index % columns());
        ids_.insert(index, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        if (child->role() == QAccessible::ColumnHeader)
            return static_cast<const HeaderCell*>(child)->column();
        if (auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface())
            return (cell->rowIndex() + 1) * columns() + cell->columnIndex();
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint header = view()->header()->viewport()->mapFromGlobal(QPoint(x, y));
        if (view()->header()->viewport()->rect().contains(header)) {
            const int column = view()->header()->logicalIndexAt(header.x());
            return column >= 0 ? child(column) : nullptr;
        }
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        const QModelIndex current = view()->currentIndex();
        return view()->hasFocus() && current.isValid() ? cellAt(current.row(), 0) : nullptr;
    }

    // The table interface.
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        if (row < 0 || column < 0 || row >= rows() || column >= columns())
            return nullptr;
        return child((row + 1) * columns() + column);
    }
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QString columnDescription(int column) const override { return view()->model()->headerData(column, Qt::Horizontal).toString(); }
    QString rowDescription(int) const override { return {}; }
    int columnCount() const override { return columns(); }
    int rowCount() const override { return rows(); }
    int selectedCellCount() const override { return selectedRowCount() * columns(); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return static_cast<int>(view()->selectionModel()->selectedRows().size()); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        for (int row : selectedRows())
            for (int c = 0; c < columns(); ++c)
                cells << cellAt(row, c);
        return cells;
    }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        QList<int> list;
        for (const QModelIndex& i : view()->selectionModel()->selectedRows())
            list << i.row();
        return list;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return view()->selectionModel()->isRowSelected(row, {}); }
    bool selectRow(int row) override
    {
        if (row < 0 || row >= rows())
            return false;
        const QModelIndex index = view()->model()->index(row, 0);
        view()->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override
    {
        if (row < 0 || row >= rows())
            return false;
        view()->selectionModel()->select(view()->model()->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return true;
    }
    bool unselectColumn(int) override { return false; }

    void modelChange(QAccessibleTableModelChangeEvent*) override
    {
        // Rows came or went: the children's indexes moved; make them afresh when asked.
        forget();
    }

private:
    void forget()
    {
        for (const QAccessible::Id id : std::as_const(ids_))
            QAccessible::deleteAccessibleInterface(id);
        ids_.clear();
    }

    mutable QHash<int, QAccessible::Id> ids_;
};

} // namespace

QAccessibleInterface* ListViewAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ListView") && object->isWidgetType())
        return new Table(static_cast<ListView*>(object));
    return nullptr;
}

} // namespace overview_detail
