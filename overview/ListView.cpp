#include "overview/ListView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>

#include "overview/ListModel.h"
#include "platform/Twips.h"

using overview_detail::ListModel;

ListView::ListView(QWidget* parent) : QTableView(parent), model_(new ListModel(this))
{
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
