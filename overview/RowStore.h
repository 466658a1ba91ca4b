#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
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
    // Setting the next cell of the newest row (what a fill does) grows its record in
    // place; a cell of an earlier row rebuilds that record at the end and leaves the old
    // one unused until clear(). The fill's case is inline: it runs 13 times a row.
    void setCell(int handle, int k, std::string_view text)
    {
        if (handle == tail_ && handle >= 0 && k > 0 && k < kMaxCells && text.size() < 0x80) {
            Chunk& last = chunks_.back();
            const std::uint32_t offset = static_cast<std::uint32_t>(rows_[static_cast<std::size_t>(handle)]);
            char* data = last.data.get();
            const int count = static_cast<unsigned char>(data[offset]);
            const std::size_t extra = static_cast<std::size_t>(k - count) + 1 + text.size();
            if (k >= count && last.used + extra <= last.capacity) {
                char* p = data + last.used;
                for (int i = count; i < k; ++i)
                    *p++ = 0;
                *p++ = static_cast<char>(text.size());  // a length below 0x80 is its own varint
                if (!text.empty())
                    std::memcpy(p, text.data(), text.size());
                data[offset] = static_cast<char>(k + 1);
                last.used += static_cast<std::uint32_t>(extra);
                return;
            }
        }
        setCellElsewhere(handle, k, text);
    }
    void clear();
    // Bytes held, for the memory checks.
    std::size_t bytesHeld() const;

private:
    struct Chunk {
        std::unique_ptr<char[]> data;
        std::uint32_t capacity = 0;
        std::uint32_t used = 0;
    };
    void setCellElsewhere(int handle, int k, std::string_view text);
    const char* record(int handle) const;
    char* reserve(std::size_t bytes); // room at the end of the last chunk

    std::vector<Chunk> chunks_;
    std::vector<std::uint64_t> rows_; // chunk index << 32 | offset in the chunk
    std::string scratch_;
    int tail_ = -1; // the row whose record ends the last chunk, so it can grow in place
};

} // namespace overview_detail
