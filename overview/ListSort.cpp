#include "overview/ListSort.h"

#include <QChar>
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

namespace overview_detail {

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

} // namespace

std::string CaseFolded(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            // Most of a cell that holds a "Zürich" is ASCII, which folds to its lower case.
            out += static_cast<char>(lowerAscii(b));
            ++i;
            continue;
        }
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

namespace {

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

std::vector<std::uint32_t> SortedOrder(const RowStore& store, int column, bool descending)
{
    const std::size_t n = static_cast<std::size_t>(store.size());
    // The key cell of every row, read once in the order the rows were stored; cells that
    // hold more than ASCII are folded into copies of their own.
    std::vector<std::string_view> text(n);
    std::deque<std::string> foldedCopies;
    for (std::size_t h = 0; h < n; ++h) {
        std::string_view s = store.cell(static_cast<int>(h), column);
        if (!isAscii(s)) {
            foldedCopies.push_back(CaseFolded(s));
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
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = entries[i].handle;
    return order;
}

} // namespace overview_detail
