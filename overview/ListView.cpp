#include "overview/ListView.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

#include "overview/ListModel.h"
#include "overview/ListViewAccessible.h"
#include "platform/Twips.h"

using overview_detail::ListModel;

namespace {

// The list's header as a keyboard user reaches it: a tab stop of the list, right after
// its rows, in which Left, Right, Home and End pick a column (shown by the style's focus
// frame) and Space or Enter clicks it, exactly as the mouse does.
class KeyboardHeader : public QHeaderView {
public:
    explicit KeyboardHeader(QTableView* list) : QHeaderView(Qt::Horizontal, list), list_(list)
    {
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->modifiers() & ~Qt::KeypadModifier & ~Qt::ShiftModifier) // Alt, Ctrl: not ours
            return QHeaderView::keyPressEvent(e);
        const int columns = count();
        int visual = visualIndex(current_);
        switch (e->key()) {
        case Qt::Key_Left: visual = std::max(0, visual - 1); break;
        case Qt::Key_Right: visual = std::min(columns - 1, visual + 1); break;
        case Qt::Key_Home: visual = 0; break;
        case Qt::Key_End: visual = columns - 1; break;
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (current_ >= 0 && current_ < columns)
                emit sectionClicked(current_);
            e->accept();
            return;
        default:
            return QHeaderView::keyPressEvent(e);
        }
        e->accept();
        setCurrent(logicalIndex(visual));
    }

    void focusInEvent(QFocusEvent* e) override
    {
        QHeaderView::focusInEvent(e);
        setCurrent(std::clamp(current_, 0, std::max(0, count() - 1)));
    }

    void focusOutEvent(QFocusEvent* e) override
    {
        QHeaderView::focusOutEvent(e);
        viewport()->update();
    }

    void paintSection(QPainter* painter, const QRect& rect, int logical) const override
    {
        QHeaderView::paintSection(painter, rect, logical);
        if (!hasFocus() || logical != current_)
            return;
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
        opt.rect = rect.adjusted(2, 2, -2, -2);
        opt.backgroundColor = palette().color(QPalette::Button);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, painter, this);
    }

private:
    void setCurrent(int logical)
    {
        current_ = logical;
        // The list scrolls sideways to the column picked, as it does to a clicked one.
        const int left = sectionPosition(logical), right = left + sectionSize(logical);
        QScrollBar* bar = list_->horizontalScrollBar();
        if (left < bar->value())
            bar->setValue(left);
        else if (right > bar->value() + list_->viewport()->width())
            bar->setValue(right - list_->viewport()->width());
        viewport()->update();
    }

    QTableView* list_;
    int current_ = 0;
};

} // namespace

ListView::ListView(QWidget* parent) : QTableView(parent), model_(new ListModel(this))
{
    static const bool factoryInstalled =
        (QAccessible::installFactory(overview_detail::ListViewAccessibleFactory), true);
    Q_UNUSED(factoryInstalled);
    setHorizontalHeader(new KeyboardHeader(this));
    setModel(model_);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Tab leaves the list for the next control, as in every other window.
    setTabKeyNavigation(false);
    // One height for every row, never measured from the contents.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(fontMetrics().height() + 2 * style()->pixelMetric(QStyle::PM_FocusFrameVMargin, nullptr, this) + 2);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSortingEnabled(false);

    QHeaderView* h = header();
    h->setSectionsClickable(true);
    h->setSectionsMovable(false);
    h->setSortIndicatorShown(false);
    h->setStretchLastSection(false);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(h, &QHeaderView::sectionClicked, this, [this](int logical) {
        if (ColumnClick)
            ColumnClick(logical + 1);
    });

    // The selected row stays marked while another control has the focus.
    QPalette pal = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);
}

ListView::~ListView() = default;

QModelIndex ListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    const int column = current.isValid() ? current.column() : 0;
    const int last = model_->rowCount() - 1;
    switch (action) {
    case MoveHome:
        return last < 0 ? QModelIndex() : model_->index(0, column);
    case MoveEnd:
        return last < 0 ? QModelIndex() : model_->index(last, column);
    case MoveLeft:
    case MoveRight: {
        QScrollBar* bar = horizontalScrollBar();
        bar->setValue(bar->value() + (action == MoveLeft ? -1 : 1) * bar->singleStep());
        return current;
    }
    default:
        return QTableView::moveCursor(action, modifiers);
    }
}

void ListView::addColumn(const QString& header, int widthTwips)
{
    model_->addColumn(header);
    this->header()->resizeSection(model_->columnCount() - 1, platform::px(widthTwips));
}

int ListView::addItem(const QString& text) { return model_->addItem(text.toUtf8().toStdString()); }

void ListView::setSubItem(int item, int k, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    model_->setSubItem(item, k, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

int ListView::addItem(std::string_view utf8) { return model_->addItem(utf8); }


void ListView::clear() { model_->clear(); }

int ListView::count() const { return model_->count(); }

QString ListView::text(int row, int column) const
{
    model_->sync();
    const std::string_view s = model_->cell(row, column);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

void ListView::bringUpToDate() const { model_->sync(); }

std::optional<QString> ListView::selectedText() const
{
    model_->sync();
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return text(rows.first().row(), 0);
}

bool ListView::Sorted() const { return model_->sorted(); }
void ListView::setSorted(bool sorted) { model_->setSorted(sorted); }
int ListView::SortKey() const { return model_->sortKey(); }
void ListView::setSortKey(int key) { model_->setSortKey(key); }
int ListView::SortOrder() const { return model_->sortOrder(); }
void ListView::setSortOrder(int order) { model_->setSortOrder(order); }

std::size_t ListView::bytesHeld() const { return model_->bytesHeld(); }
