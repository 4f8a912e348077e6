// The weighing sums run eight or sixteen lanes at a time where the processor has AVX2: each must
// give, lane order and all, what a plain loop over the same numbers gives, up to the largest counts
// and costs that a sample and the tables hold.
#include "detect/CostSums.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

TEST(CostSumsTest, SumsAreThoseOfPlainLoops)
{
    std::mt19937 random(7);
    const auto below = [&](int Limit) { return static_cast<int>(random() % static_cast<unsigned>(Limit)); };

    // Dot and Dots: counts up to a whole sample on one byte, costs up to two bytes' worth.
    std::vector<std::int16_t> counts(960);
    std::vector<std::vector<std::int16_t>> rows(5, std::vector<std::int16_t>(960));
    for (std::size_t i = 0; i < counts.size(); ++i) {
        counts[i] = static_cast<std::int16_t>(i % 97 == 0 ? 16384 : below(40));
        for (auto& row : rows)
            row[i] = static_cast<std::int16_t>(i % 89 == 0 ? 510 : below(256));
    }
    std::vector<const std::int16_t*> rowStarts;
    std::vector<std::int32_t> expected;
    for (const auto& row : rows) {
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < CostSums::RowSize; ++i)
            sum += std::int64_t{counts[i]} * row[i];
        expected.push_back(static_cast<std::int32_t>(sum));
        rowStarts.push_back(row.data());
        for (std::size_t i = CostSums::RowSize; i < row.size(); ++i)
            sum += std::int64_t{counts[i]} * row[i];
        EXPECT_EQ(CostSums::Dot(counts.data(), row.data(), row.size()), sum);
    }
    std::vector<std::int32_t> sums(rows.size());
    CostSums::Dots(counts.data(), rowStarts.data(), rowStarts.size(), sums.data());
    EXPECT_EQ(sums, expected);

    // ColumnSums: the cells a sample holds, in the order found, each weighed in every column.
    std::vector<std::int16_t> table(960 * CostSums::Columns);
    for (auto& cost : table)
        cost = static_cast<std::int16_t>(below(256));
    const std::vector<std::uint16_t> cells = {959, 0, 17, 400, 31, 958};
    std::vector<std::int32_t> columnSums(CostSums::Columns);
    CostSums::ColumnSums(counts.data(), cells.data(), cells.size(), table.data(), columnSums.data());
    for (std::size_t c = 0; c < CostSums::Columns; ++c) {
        std::int64_t sum = 0;
        for (const std::uint16_t cell : cells)
            sum += std::int64_t{counts[cell]} * table[cell * CostSums::Columns + c];
        EXPECT_EQ(columnSums[c], sum) << c;
    }

    // Gathered: costs read at any index up to the last, with empty pairs among them.
    std::vector<std::uint8_t> costs(158 * 158 + 3);
    for (auto& cost : costs)
        cost = static_cast<std::uint8_t>(below(256));
    for (const std::size_t size : {8u, 64u, 200u}) {
        std::vector<std::int32_t> indices(size), pairCounts(size);
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < size; ++i) {
            indices[i] = i == 0 ? 158 * 158 - 1 : below(158 * 158);
            pairCounts[i] = i % 5 == 0 ? 0 : i == 1 ? 16000 : below(300);
            sum += std::int64_t{pairCounts[i]} * costs[static_cast<std::size_t>(indices[i])];
        }
        EXPECT_EQ(CostSums::Gathered(costs.data(), indices.data(), pairCounts.data(), size), sum) << size;
    }

    // GatherBytes, read 4 bytes at a time or not: every byte lands at its own place.
    std::vector<std::uint8_t> row(200);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<std::uint8_t>(255 - i);
    std::vector<std::int32_t> indices(CostSums::RowSize);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::int32_t>(i % 3 == 0 ? i : below(197));
    for (const bool wide : {false, true}) {
        std::vector<std::uint8_t> out(CostSums::RowSize + 1, 0xAA);
        CostSums::GatherBytes(row.data(), indices.data(), out.data(), wide);
        for (std::size_t i = 0; i < indices.size(); ++i)
            EXPECT_EQ(out[i], row[static_cast<std::size_t>(indices[i])]) << i << (wide ? " wide" : "");
        EXPECT_EQ(out.back(), 0xAA) << "nothing written past the row";
    }
}

} // namespace
