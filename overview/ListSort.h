#pragma once
// The order of the list's rows by one column's text, compared without regard to case.
#include <cstdint>
#include <vector>

#include "overview/RowStore.h"

namespace overview_detail {

// The handles of every row of the store, ordered by the cell in `column` (ascending or
// descending); rows with equal texts keep the order in which they were added.
std::vector<std::uint32_t> SortedOrder(const RowStore& store, int column, bool descending);

} // namespace overview_detail
