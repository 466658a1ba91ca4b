#include "overview/RowStore.h"

#include <algorithm>
#include <cstring>

namespace overview_detail {

namespace {

constexpr std::uint32_t kChunkBytes = 1u << 20;

// An empty cell may be a view without storage (a null pointer), which memcpy must not be
// handed even for no bytes.
void copyBytes(char* to, std::string_view from)
{
    if (!from.empty())
        std::memcpy(to, from.data(), from.size());
}

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
        copyBytes(out, c.cell[i]);
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

void RowStore::setCellElsewhere(int handle, int k, std::string_view text)
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
            copyBytes(p, text);
            last.data[offset] = static_cast<char>(k + 1);
            last.used += static_cast<std::uint32_t>(extra);
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
    c.count = std::max(c.count, k + 1);
    c.cell[k] = text;
    const std::size_t bytes = encodedSize(c);
    scratch_.resize(bytes);
    encode(scratch_.data(), c);
    if (atEnd && offset + bytes <= last.capacity) {
        std::memcpy(last.data.get() + offset, scratch_.data(), bytes);
        last.used = offset + static_cast<std::uint32_t>(bytes);
        return;
    }
    // At the end, its old place is free again (the chunk itself stays); anywhere else the
    // old record stays behind until the store is cleared, which the next fill does.
    if (atEnd)
        last.used = offset;
    char* at = reserve(bytes);
    std::memcpy(at, scratch_.data(), bytes);
    tail_ = handle;
    Chunk& now = chunks_.back();
    rows_[static_cast<std::size_t>(handle)] = (static_cast<std::uint64_t>(chunks_.size() - 1) << 32) | now.used;
    now.used += static_cast<std::uint32_t>(bytes);
}

void RowStore::clear()
{
    chunks_.clear();
    chunks_.shrink_to_fit();
    rows_.clear();
    rows_.shrink_to_fit();
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

} // namespace overview_detail
