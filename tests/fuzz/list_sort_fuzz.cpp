// Arbitrary cell bytes in the overview's row store, filled as a fill fills it (each row
// appended, then its cells in order), sorted by one column. Every cell reads back as set,
// and the order is the plain stable sort of the rows by their case-folded cell text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <numeric>

#include "FuzzCheck.h"
#include "overview/ListSort.h"
#include "overview/RowStore.h"

using overview_detail::RowStore;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const int column = in.ConsumeIntegralInRange(0, RowStore::kMaxCells - 1);
    const bool descending = in.ConsumeBool();

    RowStore store;
    std::vector<std::vector<std::string>> rows;
    while (in.remaining_bytes() > 0 && rows.size() < 300) {
        std::vector<std::string> row(RowStore::kMaxCells);
        const int filled = in.ConsumeIntegralInRange(1, RowStore::kMaxCells);
        for (int k = 0; k < filled; ++k) {
            // Often the same text as the row before, or that text and more: rows that tie
            // for 16 bytes and more are where the sort looks deeper.
            std::string text;
            switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                if (!rows.empty())
                    text = rows.back()[k];
                break;
            case 1:
                if (!rows.empty())
                    text = rows.back()[k] + in.ConsumeRandomLengthString(24);
                break;
            default:
                text = in.ConsumeRandomLengthString(40);
            }
            row[k] = std::move(text);
        }
        const int h = store.append(row[0]);
        FUZZ_CHECK(h == static_cast<int>(rows.size()), "append gave handle " + std::to_string(h));
        for (int k = 1; k < filled; ++k)
            store.setCell(h, k, row[k]);
        rows.push_back(std::move(row));
    }

    for (std::size_t h = 0; h < rows.size(); ++h)
        for (int k = 0; k < RowStore::kMaxCells; ++k)
            FUZZ_CHECK(store.cell(static_cast<int>(h), k) == rows[h][k],
                       "row " + std::to_string(h) + " cell " + std::to_string(k) + " reads "
                           + fuzz::shown(store.cell(static_cast<int>(h), k)) + ", set " + fuzz::shown(rows[h][k]));

    const std::vector<std::uint32_t> order = overview_detail::SortedOrder(store, column, descending);

    std::vector<std::string> folded;
    for (const auto& row : rows)
        folded.push_back(overview_detail::CaseFolded(row[column]));
    std::vector<std::uint32_t> want(rows.size());
    std::iota(want.begin(), want.end(), 0u);
    // std::string compares as unsigned bytes, the order the list promises.
    std::stable_sort(want.begin(), want.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? folded[b] < folded[a] : folded[a] < folded[b];
    });
    if (order != want) {
        std::string story = std::string(descending ? "descending" : "ascending") + " by cell " + std::to_string(column) + ":";
        for (std::size_t i = 0; i < order.size() && i < 40; ++i)
            story += "\n  got " + std::to_string(order[i]) + " " + fuzz::shown(rows[order[i]][column]) + "   want "
                + (i < want.size() ? std::to_string(want[i]) + " " + fuzz::shown(rows[want[i]][column]) : "-");
        FUZZ_CHECK(false, story);
    }
    return 0;
}
