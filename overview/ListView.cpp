#include "overview/ListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>

#include "platform/Twips.h"

namespace overview_detail {

namespace {

constexpr std::uint32_t kChunkBytes = 1u << 20;

std::size_t putVarint(char* out, std::size_t n)
{
    std::size_t i = 0;
    while (n >= 0x80) {
        out[i++] = static_cast<char>((n & 0x7f) | 0x80);
        n >>= 7;
    }
    out[i++] = static_cast<char>(n);
    return i;
}

std::size_t varintSize(std::size_t n)
{
    std::size_t i = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++i;
    }
    return i;
}

std::size_t getVarint(const char*& p)
{
    std::size_t n = 0;
    int shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        n |= static_cast<std::size_t>(b & 0x7f) << shift;
        if (!(b & 0x80))
            return n;
        shift += 7;
    }
}

// The cells of one record, decoded.
struct Cells {
    int count = 0;
    std::string_view cell[RowStore::kMaxCells];
    std::size_t bytes = 0; // the record's size
};

Cells decode(const char* rec)
{
    Cells c;
    const char* p = rec;
    c.count = static_cast<unsigned char>(*p++);
    for (int i = 0; i < c.count; ++i) {
        const std::size_t len = getVarint(p);
        c.cell[i] = std::string_view(p, len);
        p += len;
    }
    c.bytes = static_cast<std::size_t>(p - rec);
    return c;
}

std::size_t encodedSize(const Cells& c)
{
    std::size_t n = 1;
    for (int i = 0; i < c.count; ++i)
        n += varintSize(c.cell[i].size()) + c.cell[i].size();
    return n;
}

void encode(char* out, const Cells& c)
{
    *out++ = static_cast<char>(c.count);
    for (int i = 0; i < c.count; ++i) {
        out += putVarint(out, c.cell[i].size());
        std::memcpy(out, c.cell[i].data(), c.cell[i].size());
        out += c.cell[i].size();
    }
}

} // namespace

const char* RowStore::record(int handle) const
{
    const std::uint64_t ref = rows_[static_cast<std::size_t>(handle)];
    return chunks_[ref >> 32].data.get() + static_cast<std::uint32_t>(ref);
}

char* RowStore::reserve(std::size_t bytes)
{
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < bytes) {
        Chunk c;
        c.capacity = static_cast<std::uint32_t>(std::max<std::size_t>(kChunkBytes, bytes));
        c.data.reset(new char[c.capacity]);
        chunks_.push_back(std::move(c));
    }
    return chunks_.back().data.get() + chunks_.back().used;
}

int RowStore::append(std::string_view text)
{
    Cells c;
    c.count = 1;
    c.cell[0] = text;
    const std::size_t bytes = encodedSize(c);
    char* at = reserve(bytes);
    encode(at, c);
    Chunk& last = chunks_.back();
    rows_.push_back((static_cast<std::uint64_t>(chunks_.size() - 1) << 32) | last.used);
    last.used += static_cast<std::uint32_t>(bytes);
    liveBytes_ += bytes;
    tail_ = size() - 1;
    return tail_;
}

std::string_view RowStore::cell(int handle, int k) const
{
    if (handle < 0 || handle >= size() || k < 0 || k >= kMaxCells)
        return {};
    const char* p = record(handle);
    const int count = static_cast<unsigned char>(*p++);
    if (k >= count)
        return {};
    for (int i = 0; i < k; ++i)
        p += getVarint(p);
    const std::size_t len = getVarint(p);
    return std::string_view(p, len);
}

void RowStore::setCell(int handle, int k, std::string_view text)
{
    if (handle < 0 || handle >= size() || k < 0 || k >= kMaxCells)
        return;
    const std::uint64_t ref = rows_[static_cast<std::size_t>(handle)];
    const std::uint32_t offset = static_cast<std::uint32_t>(ref);
    Chunk& last = chunks_.back();
    if (handle == tail_) {
        const int count = static_cast<unsigned char>(last.data[offset]);
        const std::size_t extra = k >= count ? static_cast<std::size_t>(k - count) + varintSize(text.size()) + text.size() : 0;
        if (k >= count && last.used + extra <= last.capacity) {
            // The fill's case: the newest row gets its next cell, right behind the others.
            char* p = last.data.get() + last.used;
            for (int i = count; i < k; ++i)
                *p++ = 0;
            p += putVarint(p, text.size());
            std::memcpy(p, text.data(), text.size());
            last.data[offset] = static_cast<char>(k + 1);
            last.used += static_cast<std::uint32_t>(extra);
            liveBytes_ += extra;
            return;
        }
    }
    Cells c = decode(record(handle));
    if (k >= c.count && text.empty())
        return; // already empty
    const bool atEnd = handle == tail_;

    // Otherwise the record is rebuilt aside first: text may point into the record itself.
    for (int i = c.count; i <= k; ++i)
        c.cell[i] = {};
    const std::size_t oldBytes = c.bytes;
    c.count = std::max(c.count, k + 1);
    c.cell[k] = text;
    const std::size_t bytes = encodedSize(c);
    scratch_.resize(bytes);
    encode(scratch_.data(), c);
    liveBytes_ = liveBytes_ - oldBytes + bytes;
    if (atEnd && offset + bytes <= last.capacity) {
        std::memcpy(last.data.get() + offset, scratch_.data(), bytes);
        last.used = offset + static_cast<std::uint32_t>(bytes);
        return;
    }
    if (atEnd)
        last.used = offset; // its old place is free again (the chunk itself stays)
    else
        deadBytes_ += oldBytes;
    char* at = reserve(bytes);
    std::memcpy(at, scratch_.data(), bytes);
    tail_ = handle;
    Chunk& now = chunks_.back();
    rows_[static_cast<std::size_t>(handle)] = (static_cast<std::uint64_t>(chunks_.size() - 1) << 32) | now.used;
    now.used += static_cast<std::uint32_t>(bytes);
    if (deadBytes_ > kChunkBytes && deadBytes_ > liveBytes_)
        compact();
}

void RowStore::compact()
{
    RowStore fresh;
    for (int h = 0; h < size(); ++h) {
        const Cells c = decode(record(h));
        char* at = fresh.reserve(c.bytes);
        std::memcpy(at, record(h), c.bytes);
        Chunk& last = fresh.chunks_.back();
        fresh.rows_.push_back((static_cast<std::uint64_t>(fresh.chunks_.size() - 1) << 32) | last.used);
        last.used += static_cast<std::uint32_t>(c.bytes);
        fresh.liveBytes_ += c.bytes;
    }
    fresh.tail_ = size() - 1;
    *this = std::move(fresh);
}

void RowStore::clear()
{
    chunks_.clear();
    chunks_.shrink_to_fit();
    rows_.clear();
    rows_.shrink_to_fit();
    liveBytes_ = deadBytes_ = 0;
    tail_ = -1;
    scratch_.clear();
    scratch_.shrink_to_fit();
}

std::size_t RowStore::bytesHeld() const
{
    std::size_t n = rows_.capacity() * sizeof(std::uint64_t) + chunks_.capacity() * sizeof(Chunk);
    for (const Chunk& c : chunks_)
        n += c.capacity;
    return n;
}

// ---- Comparing cells -------------------------------------------------------------------
//
// Cells compare as text without regard to case: byte by byte over their case-folded UTF-8
// form, which orders them by code point, so an empty cell comes first and "06:45" comes
// before "06:45+1". A sort sees a cell as a series of 16-byte big-endian keys; only rows
// whose keys tie at one depth are looked at 16 bytes deeper.

namespace {

bool isAscii(std::string_view s)
{
    for (char ch : s)
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    return true;
}

unsigned char lowerAscii(unsigned char b) { return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b; }

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The case-folded UTF-8 form of a cell that holds more than ASCII. A byte that starts no
// valid sequence stands for itself, so every text has one folded form.
std::string foldUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        char32_t cp = b;
        std::size_t len = 1;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
        }
        bool valid = len == 1 ? b < 0x80 : i + len <= s.size();
        for (std::size_t j = 1; valid && j < len; ++j) {
            const auto c = static_cast<unsigned char>(s[i + j]);
            if ((c & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        appendUtf8(out, QChar::toCaseFolded(cp));
        i += len;
    }
    return out;
}

struct SortEntry {
    std::uint64_t key[2]; // 16 folded bytes from the current depth, big-endian, zero-padded
    std::uint32_t length; // folded bytes left from that depth, at most 16
    std::uint32_t handle; // append order: the last word between equal texts
};

constexpr std::size_t kKeyBytes = 16;

// Folded text holds no capital ASCII letters, so lowering ASCII here serves both the
// ASCII cells (folded as they are read) and the folded copies of the others.
// Lowers the ASCII capitals among eight bytes at once; other bytes stay as they are.
std::uint64_t lowerAscii8(std::uint64_t x)
{
    const std::uint64_t low7 = x & 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t aboveZ = low7 + 0x2525252525252525ULL;   // high bit: byte > 'Z'
    const std::uint64_t fromA = low7 + 0x3F3F3F3F3F3F3F3FULL;    // high bit: byte >= 'A'
    const std::uint64_t ascii = ~x & 0x8080808080808080ULL;
    return x | (((fromA ^ aboveZ) & ascii) >> 2);
}

std::uint64_t bigEndian(const unsigned char* p)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
}

SortEntry keyAt(std::string_view text, std::size_t depth, std::uint32_t handle)
{
    SortEntry e{{0, 0}, 0, handle};
    if (depth >= text.size())
        return e;
    const std::size_t n = std::min(kKeyBytes, text.size() - depth);
    unsigned char bytes[kKeyBytes] = {};
    std::memcpy(bytes, text.data() + depth, n);
    e.key[0] = lowerAscii8(bigEndian(bytes));
    e.key[1] = lowerAscii8(bigEndian(bytes + 8));
    e.length = static_cast<std::uint32_t>(n);
    return e;
}

bool equalFrom(std::string_view a, std::string_view b, std::size_t depth)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = depth; i < a.size(); ++i)
        if (lowerAscii(static_cast<unsigned char>(a[i])) != lowerAscii(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

// ---- The model ----------------------------------------------------------------------------

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

void ListModel::setSubItem(int item, int k, std::string_view text)
{
    if (item < 0 || item >= store_.size() || k < 1 || k >= RowStore::kMaxCells)
        return;
    store_.setCell(item, k, text);
    if (sorted_ && k == sortKey_)
        sortPending_ = true;
    // Handles count up from the last sync, so a handle below the number of rows the view
    // knows is one of those rows; rows not yet announced are drawn fresh anyway.
    if (item < published_)
        cellsChanged_ = true;
    changed();
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

void ListModel::changed()
{
    // One sync when the event loop turns, however many rows a fill appends meanwhile.
    if (syncQueued_)
        return;
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
        sortRows();
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

void ListModel::sortRows()
{
    const std::size_t n = order_.size();
    if (n < 2)
        return;
    const bool descending = sortOrder_ == 1;

    // The key cell of every row, read once in the order the rows were stored; cells that
    // hold more than ASCII are folded into copies of their own.
    std::vector<std::string_view> text(n);
    std::deque<std::string> foldedCopies;
    for (std::size_t h = 0; h < n; ++h) {
        std::string_view s = store_.cell(static_cast<int>(h), sortKey_);
        if (!isAscii(s)) {
            foldedCopies.push_back(foldUtf8(s));
            s = foldedCopies.back();
        }
        text[h] = s;
    }

    auto same = [](const SortEntry& a, const SortEntry& b) {
        return a.key[0] == b.key[0] && a.key[1] == b.key[1] && a.length == b.length;
    };
    auto less = [descending](const SortEntry& a, const SortEntry& b) {
        if (a.key[0] != b.key[0])
            return descending ? a.key[0] > b.key[0] : a.key[0] < b.key[0];
        if (a.key[1] != b.key[1])
            return descending ? a.key[1] > b.key[1] : a.key[1] < b.key[1];
        if (a.length != b.length)
            return descending ? a.length > b.length : a.length < b.length;
        return a.handle < b.handle;
    };

    std::vector<SortEntry> entries(n);
    for (std::size_t h = 0; h < n; ++h)
        entries[h] = keyAt(text[h], 0, static_cast<std::uint32_t>(h));
    struct Range {
        std::size_t begin, end, depth;
    };
    std::vector<Range> work{{0, n, 0}};
    while (!work.empty()) {
        const Range r = work.back();
        work.pop_back();
        if (r.depth > 0) {
            // Rows with one and the same text (a remark used again and again) are already
            // in the order they were added: nothing deeper to look at.
            const std::string_view first = text[entries[r.begin].handle];
            std::size_t i = r.begin + 1;
            while (i < r.end && equalFrom(first, text[entries[i].handle], r.depth))
                ++i;
            if (i == r.end)
                continue;
            for (i = r.begin; i < r.end; ++i)
                entries[i] = keyAt(text[entries[i].handle], r.depth, entries[i].handle);
        }
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(r.begin),
                  entries.begin() + static_cast<std::ptrdiff_t>(r.end), less);
        // Rows whose texts agree on all 16 bytes may differ further on.
        for (std::size_t i = r.begin; i < r.end;) {
            std::size_t j = i + 1;
            while (j < r.end && same(entries[j], entries[i]))
                ++j;
            if (j - i > 1 && entries[i].length == kKeyBytes)
                work.push_back({i, j, r.depth + kKeyBytes});
            i = j;
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        order_[i] = entries[i].handle;
}

std::size_t ListModel::bytesHeld() const
{
    return store_.bytesHeld() + order_.capacity() * sizeof(std::uint32_t);
}

} // namespace overview_detail

// ---- The control ----------------------------------------------------------------------------

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
