#include "detect/CostSums.h"

#include "detect/ProcessorFeatures.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace CostSums {

namespace {

#if defined(__x86_64__)
__attribute__((target("avx2"))) std::int32_t Total(__m256i Sum)
{
    __m128i half = _mm_add_epi32(_mm256_castsi256_si128(Sum), _mm256_extracti128_si256(Sum, 1));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0xB1));
    return _mm_cvtsi128_si32(half);
}

__attribute__((target("avx2"))) __m256i Load(const void* At)
{
    return _mm256_loadu_si256(static_cast<const __m256i*>(At));
}

__attribute__((target("avx2"))) std::int32_t DotAvx2(const std::int16_t* A, const std::int16_t* B, std::size_t Size)
{
    __m256i sum = _mm256_setzero_si256();
    for (std::size_t i = 0; i < Size; i += 16)
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(Load(A + i), Load(B + i)));
    return Total(sum);
}

__attribute__((target("avx2"))) void DotsAvx2(const std::int16_t* Counts, const std::int16_t* const* Rows,
                                             std::size_t RowCount, std::int32_t* Sums)
{
    // The counts stay in registers across the rows.
    __m256i counts[RowSize / 16];
    for (std::size_t k = 0; k < RowSize / 16; ++k)
        counts[k] = Load(Counts + 16 * k);
    for (std::size_t r = 0; r < RowCount; ++r) {
        __m256i sum = _mm256_setzero_si256();
        for (std::size_t k = 0; k < RowSize / 16; ++k)
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(counts[k], Load(Rows[r] + 16 * k)));
        Sums[r] = Total(sum);
    }
}

__attribute__((target("avx2"))) void ColumnSumsAvx2(const std::int16_t* Counts, const std::uint16_t* Cells,
                                                   std::size_t CellCount, const std::int16_t* Table, std::int32_t* Sums)
{
    // The sums stay in registers across the cells.
    static_assert(Columns == 48);
    __m256i sums[6] = {};
    for (std::size_t i = 0; i < CellCount; ++i) {
        const __m256i count = _mm256_set1_epi32(Counts[Cells[i]]);
        const std::int16_t* const row = Table + std::size_t{Cells[i]} * Columns;
        for (std::size_t k = 0; k < 6; ++k)
            sums[k] = _mm256_add_epi32(sums[k], _mm256_mullo_epi32(count, _mm256_cvtepi16_epi32(_mm_loadu_si128(
                                                                              reinterpret_cast<const __m128i*>(row + 8 * k)))));
    }
    for (std::size_t k = 0; k < 6; ++k)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Sums + 8 * k), sums[k]);
}

// The bytes at Bytes + each of 8 indices, each in the low byte of its 32-bit lane.
__attribute__((target("avx2"))) __m256i GatherLow(const std::uint8_t* Bytes, const std::int32_t* Indices)
{
    return _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(Bytes), Load(Indices), 1),
                            _mm256_set1_epi32(0xFF));
}

__attribute__((target("avx2"))) std::int32_t GatheredAvx2(const std::uint8_t* Costs, const std::int32_t* Indices,
                                                         const std::int32_t* Counts, std::size_t Size)
{
    __m256i sum = _mm256_setzero_si256();
    // Counts and costs are below 2^15: the high halves of the 32-bit lanes are 0 and add nothing.
    for (std::size_t i = 0; i < Size; i += 8)
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(GatherLow(Costs, Indices + i), Load(Counts + i)));
    return Total(sum);
}

__attribute__((target("avx2"))) void GatherBytesAvx2(const std::uint8_t* Row, const std::int32_t* Indices, std::uint8_t* Out)
{
    // Packing 32-bit lanes into bytes works within each 128-bit half: the permutation puts the
    // groups of 4 bytes back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    for (std::size_t i = 0; i < RowSize; i += 32) {
        const __m256i low = _mm256_packus_epi32(GatherLow(Row, Indices + i), GatherLow(Row, Indices + i + 8));
        const __m256i high = _mm256_packus_epi32(GatherLow(Row, Indices + i + 16), GatherLow(Row, Indices + i + 24));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + i),
                            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order));
    }
}
#endif

} // namespace

std::int32_t Dot(const std::int16_t* A, const std::int16_t* B, std::size_t Size)
{
#if defined(__x86_64__)
    if (HasAvx2())
        return DotAvx2(A, B, Size);
#endif
    std::int32_t sum = 0;
    for (std::size_t i = 0; i < Size; ++i)
        sum += std::int32_t{A[i]} * std::int32_t{B[i]};
    return sum;
}

void Dots(const std::int16_t* Counts, const std::int16_t* const* Rows, std::size_t RowCount, std::int32_t* Sums)
{
#if defined(__x86_64__)
    if (HasAvx2())
        return DotsAvx2(Counts, Rows, RowCount, Sums);
#endif
    for (std::size_t r = 0; r < RowCount; ++r)
        Sums[r] = Dot(Counts, Rows[r], RowSize);
}

void ColumnSums(const std::int16_t* Counts, const std::uint16_t* Cells, std::size_t CellCount, const std::int16_t* Table,
                std::int32_t* Sums)
{
#if defined(__x86_64__)
    if (HasAvx2())
        return ColumnSumsAvx2(Counts, Cells, CellCount, Table, Sums);
#endif
    for (std::size_t c = 0; c < Columns; ++c)
        Sums[c] = 0;
    for (std::size_t i = 0; i < CellCount; ++i)
        for (std::size_t c = 0; c < Columns; ++c)
            Sums[c] += std::int32_t{Counts[Cells[i]]} * Table[std::size_t{Cells[i]} * Columns + c];
}

std::int32_t Gathered(const std::uint8_t* Costs, const std::int32_t* Indices, const std::int32_t* Counts, std::size_t Size)
{
#if defined(__x86_64__)
    if (HasAvx2())
        return GatheredAvx2(Costs, Indices, Counts, Size);
#endif
    std::int32_t sum = 0;
    for (std::size_t i = 0; i < Size; ++i)
        sum += Counts[i] * std::int32_t{Costs[Indices[i]]};
    return sum;
}

void GatherBytes(const std::uint8_t* Row, const std::int32_t* Indices, std::uint8_t* Out, bool Wide)
{
#if defined(__x86_64__)
    if (HasAvx2() && Wide)
        return GatherBytesAvx2(Row, Indices, Out);
#endif
    for (std::size_t i = 0; i < RowSize; ++i)
        Out[i] = Row[Indices[i]];
}

} // namespace CostSums
