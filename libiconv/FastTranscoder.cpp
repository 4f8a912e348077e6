#include "libiconv/FastTranscoder.h"

#include "libiconv/LegacyLoop.h"

#include <cstring>
#include <emmintrin.h>
// A C header: clang's C++ lacks the C keyword _Bool that it uses (GCC takes it).
#if defined(__clang__)
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#else
#include <sys/platform/x86.h>
#endif

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

    template <bool Big>
    static void Utf16ToUtf8(const unsigned char*&, const unsigned char*, unsigned char*&, unsigned char*)
    {
    }

    // Sixteen bytes at a time, copied when they are all ASCII, else each byte's one or two UTF-8
    // bytes made at once and written one after the other (SSE2 has no byte shuffle to pack them).
    static void Latin1ToUtf8(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                             unsigned char* OutEnd)
    {
        const unsigned char* in = In;
        unsigned char* out = Out;
        while (InEnd - in >= 16 && OutEnd - out >= 32) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
            in += 16;
            if (high == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
                out += 16;
                continue;
            }
            // Above 0x7F: the lead byte C2 or C3 and the continuation byte; below, the byte and
            // a zero that the next character overwrites (the room after the output stays zero,
            // as the AVX2 blocks leave it).
            const __m128i above = _mm_cmplt_epi8(bytes, _mm_setzero_si128());
            const __m128i leadBytes =
                _mm_or_si128(_mm_and_si128(_mm_srli_epi16(bytes, 6), _mm_set1_epi8(3)), _mm_set1_epi8(static_cast<char>(0xC0)));
            const __m128i lead = _mm_or_si128(_mm_and_si128(above, leadBytes), _mm_andnot_si128(above, bytes));
            const __m128i trail = _mm_and_si128(above, _mm_and_si128(bytes, _mm_set1_epi8(static_cast<char>(0xBF))));
            alignas(16) unsigned char forms[32];
            _mm_store_si128(reinterpret_cast<__m128i*>(forms), _mm_unpacklo_epi8(lead, trail));
            _mm_store_si128(reinterpret_cast<__m128i*>(forms + 16), _mm_unpackhi_epi8(lead, trail));
            for (int i = 0; i < 16; ++i) {
                std::memcpy(out, forms + 2 * i, 2);
                out += 1 + (high >> i & 1);
            }
        }
        In = in;
        Out = out;
    }

    // Sixteen positions at a time, as the AVX2 blocks check them, the kept bytes written one
    // after the other.
    static void Utf8ToLatin1(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                             unsigned char* OutEnd)
    {
        const unsigned char* in = In;
        unsigned char* out = Out;
        // 1 when the position before in held a lead byte, whose continuation at in is taken.
        unsigned taken = 0;
        while (InEnd - in >= 17 && OutEnd - out >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
            if (high == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
                in += 16;
                out += 16;
                continue;
            }
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 1));
            const __m128i leadBytes = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xC2))),
                                                   _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xC3))));
            const unsigned leads = static_cast<unsigned>(_mm_movemask_epi8(leadBytes));
            const unsigned following = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(next, _mm_set1_epi8(-64))));
            const unsigned continuations = following << 1 | taken;
            if (!OnlyLatin1Pairs(high, leads, following, taken))
                break;
            const __m128i joined = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, _mm_set1_epi8(3)), 6),
                                                _mm_and_si128(next, _mm_set1_epi8(0x3F)));
            // A continuation byte's place is written over by the next one kept, or stays zero.
            const __m128i kept = _mm_cmpgt_epi8(bytes, _mm_set1_epi8(-65));
            alignas(16) unsigned char values[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(values),
                            _mm_and_si128(kept, _mm_or_si128(_mm_and_si128(leadBytes, joined), _mm_andnot_si128(leadBytes, bytes))));
            for (int i = 0; i < 16; ++i) {
                *out = values[i];
                out += (continuations >> i & 1) ^ 1;
            }
            in += 16;
            taken = leads >> 15;
        }
        In = in + taken;
        Out = out;
    }
};

// The C library's reading of the processor and of what the system enables, made when the
// program started: no cpuid here (each a trap in a virtual machine), and not the compiler's
// check, whose constructor reads every feature again whenever the library is loaded.
const char* BestBlocks()
{
    if (CPU_FEATURE_ACTIVE(AVX512BW) && CPU_FEATURE_ACTIVE(AVX512_VBMI) && CPU_FEATURE_ACTIVE(AVX512_VBMI2) &&
        CPU_FEATURE_ACTIVE(BMI2))
        return "avx512";
    return CPU_FEATURE_ACTIVE(AVX2) ? "avx2" : "sse2";
}

} // namespace

TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To)
{
    return FindTranscoder(From, To, TranscoderBlocks());
}

TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To, const char* Blocks)
{
    if (std::strcmp(Blocks, "avx512") == 0)
        return FindAvx512Transcoder(From, To);
    if (std::strcmp(Blocks, "avx2") == 0)
        return FindAvx2Transcoder(From, To);
    return TranscoderFor<TSse2Blocks>(From, To);
}

TLegacyProc FindLegacyTranscoder(bool LegacySource, TUnicodeForm Unicode)
{
    return FindLegacyTranscoder(LegacySource, Unicode, TranscoderBlocks());
}

TLegacyProc FindLegacyTranscoder(bool LegacySource, TUnicodeForm Unicode, const char* Blocks)
{
    if (std::strcmp(Blocks, "avx512") == 0)
        return FindAvx512LegacyTranscoder(LegacySource, Unicode);
    if (std::strcmp(Blocks, "avx2") == 0)
        return FindAvx2LegacyTranscoder(LegacySource, Unicode);
    return LegacyTranscoderFor<TSse2Blocks>(LegacySource, Unicode);
}

const char* TranscoderBlocks()
{
    static const char* const blocks = BestBlocks();
    return blocks;
}

} // namespace lmviconv
