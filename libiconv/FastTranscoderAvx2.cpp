// The AVX2 blocks. Only the functions marked for AVX2 use it; FindTranscoder calls into this
// unit only when the processor has it.
#include "libiconv/TranscodeLoop.h"

#include <immintrin.h>

#define LUMIVA_AVX2 __attribute__((target("avx2")))

namespace lmviconv {

namespace {

template <TUnit Src, std::uint32_t Limit>
LUMIVA_AVX2 inline bool LoadAvx2(const unsigned char* p, __m256i& values)
{
    if constexpr (Src == TUnit::Byte) {
        values = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        return Limit > 0x7F || _mm256_movemask_epi8(values) == 0;
    } else {
        static_assert(Src == TUnit::U16Le || Src == TUnit::U16Be);
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        constexpr int mask = Src == TUnit::U16Le ? (Limit > 0x7F ? 0xFF00 : 0xFF80) : (Limit > 0x7F ? 0x00FF : 0x80FF);
        const __m256i high = _mm256_and_si256(_mm256_or_si256(a, b), _mm256_set1_epi16(static_cast<short>(mask)));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, _mm256_setzero_si256())) != -1)
            return false;
        if constexpr (Src == TUnit::U16Be) {
            a = _mm256_srli_epi16(a, 8);
            b = _mm256_srli_epi16(b, 8);
        }
        // The pack works within each 128-bit lane: put the quarters back in order.
        values = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        return true;
    }
}

template <TUnit Dst>
LUMIVA_AVX2 inline void StoreAvx2(unsigned char* p, __m256i values)
{
    auto* out = reinterpret_cast<__m256i*>(p);
    const __m128i low = _mm256_castsi256_si128(values);
    const __m128i high = _mm256_extracti128_si256(values, 1);
    if constexpr (Dst == TUnit::Byte) {
        _mm256_storeu_si256(out, values);
    } else if constexpr (Dst == TUnit::U16Le || Dst == TUnit::U16Be) {
        __m256i first = _mm256_cvtepu8_epi16(low);
        __m256i second = _mm256_cvtepu8_epi16(high);
        if constexpr (Dst == TUnit::U16Be) {
            first = _mm256_slli_epi16(first, 8);
            second = _mm256_slli_epi16(second, 8);
        }
        _mm256_storeu_si256(out, first);
        _mm256_storeu_si256(out + 1, second);
    } else {
        const __m128i quarters[4] = {low, _mm_srli_si128(low, 8), high, _mm_srli_si128(high, 8)};
        for (int i = 0; i < 4; ++i) {
            __m256i units = _mm256_cvtepu8_epi32(quarters[i]);
            if constexpr (Dst == TUnit::U32Be)
                units = _mm256_slli_epi32(units, 24);
            _mm256_storeu_si256(out + i, units);
        }
    }
}

struct TAvx2Blocks {
    template <TUnit Src, TUnit Dst, std::uint32_t Limit>
    LUMIVA_AVX2 static void Run(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                unsigned char* OutEnd)
    {
        if constexpr (Src == TUnit::U32Le || Src == TUnit::U32Be) {
            return;
        } else {
            constexpr std::size_t inStep = 32 * WidthOf(Src);
            constexpr std::size_t outStep = 32 * WidthOf(Dst);
            const unsigned char* in = In;
            unsigned char* out = Out;
            __m256i values;
            while (static_cast<std::size_t>(InEnd - in) >= inStep && static_cast<std::size_t>(OutEnd - out) >= outStep &&
                   LoadAvx2<Src, Limit>(in, values)) {
                StoreAvx2<Dst>(out, values);
                in += inStep;
                out += outStep;
            }
            In = in;
            Out = out;
        }
    }
};

} // namespace

TTranscodeProc FindAvx2Transcoder(TUnicodeForm From, TUnicodeForm To)
{
    return TranscoderFor<TAvx2Blocks>(From, To);
}

} // namespace lmviconv
