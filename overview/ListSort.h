#pragma once
// The order of the list's rows by one column's text, compared without regard to case.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "overview/RowStore.h"

namespace overview_detail {

// The handles of every row of the store, ordered by the cell in `column` (ascending or
// descending); rows with equal texts keep the order in which they were added.
std::vector<std::uint32_t> SortedOrder(const RowStore& store, int column, bool descending);

// The form in which a cell's text is compared: each UTF-8 sequence case-folded, ASCII
// capitals lowered, and a byte that starts no valid sequence standing for itself, so that
// every text has one. Two cells are in order when these forms are, byte by byte.
std::string CaseFolded(std::string_view text);

} // namespace overview_detail
