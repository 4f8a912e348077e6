#include "libiconv/FastTranscoder.h"

#include "libiconv/TranscodeLoop.h"

#include <cstring>
#include <emmintrin.h>

namespace lmviconv {

namespace {

// Sixteen code units, each at most Limit, as sixteen bytes; false when one is above it.
template <TUnit Src, std::uint32_t Limit>
bool LoadSse2(const unsigned char* p, __m128i& values)
{
    if constexpr (Src == TUnit::Byte) {
        values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return Limit > 0x7F || _mm_movemask_epi8(values) == 0;
    } else {
        static_assert(Src == TUnit::U16Le || Src == TUnit::U16Be);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        // Bits that must be clear, as the units lie in memory read little-endian.
        constexpr int mask = Src == TUnit::U16Le ? (Limit > 0x7F ? 0xFF00 : 0xFF80) : (Limit > 0x7F ? 0x00FF : 0x80FF);
        const __m128i high = _mm_and_si128(_mm_or_si128(a, b), _mm_set1_epi16(static_cast<short>(mask)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(high, _mm_setzero_si128())) != 0xFFFF)
            return false;
        values = Src == TUnit::U16Le ? _mm_packus_epi16(a, b) : _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        return true;
    }
}

template <TUnit Dst>
void StoreSse2(unsigned char* p, __m128i values)
{
    auto* out = reinterpret_cast<__m128i*>(p);
    const __m128i zero = _mm_setzero_si128();
    if constexpr (Dst == TUnit::Byte) {
        _mm_storeu_si128(out, values);
    } else if constexpr (Dst == TUnit::U16Le) {
        _mm_storeu_si128(out, _mm_unpacklo_epi8(values, zero));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi8(values, zero));
    } else if constexpr (Dst == TUnit::U16Be) {
        _mm_storeu_si128(out, _mm_unpacklo_epi8(zero, values));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi8(zero, values));
    } else if constexpr (Dst == TUnit::U32Le) {
        const __m128i low = _mm_unpacklo_epi8(values, zero);
        const __m128i high = _mm_unpackhi_epi8(values, zero);
        _mm_storeu_si128(out, _mm_unpacklo_epi16(low, zero));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(low, zero));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(high, zero));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(high, zero));
    } else {
        const __m128i low = _mm_unpacklo_epi8(zero, values);
        const __m128i high = _mm_unpackhi_epi8(zero, values);
        _mm_storeu_si128(out, _mm_unpacklo_epi16(zero, low));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(zero, low));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(zero, high));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(zero, high));
    }
}

struct TSse2Blocks {
    template <TUnit Src, TUnit Dst, std::uint32_t Limit>
    static void Run(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out, unsigned char* OutEnd)
    {
        if constexpr (Src == TUnit::U32Le || Src == TUnit::U32Be) {
            return;
        } else {
            constexpr std::size_t inStep = 16 * WidthOf(Src);
            constexpr std::size_t outStep = 16 * WidthOf(Dst);
            const unsigned char* in = In;
            unsigned char* out = Out;
            __m128i values;
            while (static_cast<std::size_t>(InEnd - in) >= inStep && static_cast<std::size_t>(OutEnd - out) >= outStep &&
                   LoadSse2<Src, Limit>(in, values)) {
                StoreSse2<Dst>(out, values);
                in += inStep;
                out += outStep;
            }
            In = in;
            Out = out;
        }
    }

    // Without a byte shuffle, multi-byte UTF-8 goes one character at a time.
    template <bool Big>
    static void Utf8ToUtf16(const unsigned char*&, const unsigned char*, unsigned char*&, unsigned char*)
    {
    }
    static void Latin1ToUtf8(const unsigned char*&, const unsigned char*, unsigned char*&, unsigned char*) {}
    static void Utf8ToLatin1(const unsigned char*&, const unsigned char*, unsigned char*&, unsigned char*) {}
};

bool UseAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

} // namespace

TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To)
{
    return FindTranscoder(From, To, TranscoderBlocks());
}

TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To, const char* Blocks)
{
    return std::strcmp(Blocks, "avx2") == 0 ? FindAvx2Transcoder(From, To) : TranscoderFor<TSse2Blocks>(From, To);
}

const char* TranscoderBlocks()
{
    static const bool avx2 = UseAvx2();
    return avx2 ? "avx2" : "sse2";
}

} // namespace lmviconv
