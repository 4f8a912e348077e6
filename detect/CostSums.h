#pragma once

#include <cstddef>
#include <cstdint>

// The sums that weigh an 8-bit reading: counts of a sample times a language's costs. Sums of
// integers, the same in any order, so that the AVX2 forms (taken where the processor has AVX2)
// give what the plain loops give. Every sum fits 32 bits: no count is past the sample's length
// (at most 16 K) and no cost past two bytes' worth.
namespace CostSums {

// Rows that Dots multiplies hold this many numbers.
constexpr std::size_t RowSize = 128;

// The sum of A[i] * B[i] for i below Size, a multiple of 16.
std::int32_t Dot(const std::int16_t* A, const std::int16_t* B, std::size_t Size);

// Sums[r] = the sum of Counts[i] * Rows[r][i], for RowCount rows of RowSize numbers.
void Dots(const std::int16_t* Counts, const std::int16_t* const* Rows, std::size_t RowCount, std::int32_t* Sums);

// Columns of the tables that ColumnSums reads: as many languages weighed at once.
constexpr std::size_t Columns = 48;

// Sums[c] = the sum of Counts[Cells[i]] * Table[Cells[i] * Columns + c] for i below CellCount, for
// each of the Columns columns: a sample's pairs weighed in that many languages in one pass.
void ColumnSums(const std::int16_t* Counts, const std::uint16_t* Cells, std::size_t CellCount, const std::int16_t* Table,
                std::int32_t* Sums);

// The sum of Counts[i] times the byte at Costs + Indices[i], for i below Size, a multiple of 8.
// The 3 bytes past each such byte must be readable too.
std::int32_t Gathered(const std::uint8_t* Costs, const std::int32_t* Indices, const std::int32_t* Counts, std::size_t Size);

// Out[i] = Row[Indices[i]] for RowSize indices. Wide tells that the 3 bytes past each can be read
// too, which lets them be read 4 at a time.
void GatherBytes(const std::uint8_t* Row, const std::int32_t* Indices, std::uint8_t* Out, bool Wide);

} // namespace CostSums
