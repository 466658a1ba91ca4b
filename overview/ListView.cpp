#include "overview/ListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>

#include "overview/ListModel.h"
#include "platform/Twips.h"

using overview_detail::ListModel;

ListView::ListView(QWidget* parent) : QTreeView(parent), model_(new ListModel(this))
{
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
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

void ListView::setSubItem(int item, int k, std::string_view utf8) { model_->setSubItem(item, k, utf8); }

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
