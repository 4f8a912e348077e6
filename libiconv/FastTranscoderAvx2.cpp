// The AVX2 blocks. Only the functions marked for AVX2 use it; FindTranscoder calls into this
// unit only when the processor has it.
#include "libiconv/TranscodeLoop.h"
#include "libiconv/ByteShuffles.h"
#include "libiconv/Utf8Windows.h"

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

    // Sixteen bytes at a time: ASCII widened at once, else the characters of up to three bytes
    // that end in the first twelve, taken apart with the window table and checked as the
    // decoder checks them (lead byte range, no overlong form, no surrogate). Stops at anything
    // else, for the character loop to decide.
    template <bool Big>
    LUMIVA_AVX2 static void Utf8ToUtf16(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                        unsigned char* OutEnd)
    {
        const TUtf8Windows& windows = Utf8Windows();
        const unsigned char* in = In;
        unsigned char* out = Out;
        const __m128i lowSeven = _mm_set1_epi16(0x007F);
        const __m128i middleSix = _mm_set1_epi16(0x3F00);
        const __m128i highFive = _mm_set1_epi16(static_cast<short>(0xF800));
        const __m128i surrogates = _mm_set1_epi16(static_cast<short>(0xD800));
        const __m128i swap = _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
        // Continuation bytes (0x80 to 0xBF, below -64 as signed bytes) of 64 bytes at a time, so
        // that each window costs a shift and a table look-up, not a load and a mask.
        const __m256i belowLeads = _mm256_set1_epi8(-64);
        while (InEnd - in >= 80 && OutEnd - out >= 160) {
            const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
            if (_mm256_movemask_epi8(_mm256_or_si256(first, second)) == 0) {
                const __m128i quarters[4] = {_mm256_castsi256_si128(first), _mm256_extracti128_si256(first, 1),
                                             _mm256_castsi256_si128(second), _mm256_extracti128_si256(second, 1)};
                for (int i = 0; i < 4; ++i) {
                    __m256i units = _mm256_cvtepu8_epi16(quarters[i]);
                    if constexpr (Big)
                        units = _mm256_slli_epi16(units, 8);
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out) + i, units);
                }
                in += 64;
                out += 128;
                continue;
            }
            const std::uint64_t continuations =
                static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(belowLeads, first))) |
                std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(belowLeads, second)))} << 32;
            unsigned offset = 0;
            bool stopped = false;
            while (offset < 48) {
                const unsigned starts = ~(continuations >> offset) & 0x1FFF;
                const unsigned characters = windows.Characters[starts];
                if (characters == 0) {
                    stopped = true;
                    break;
                }
                const TUtf8Window& window = windows.Windows[starts];
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + offset));
                const __m128i last =
                    _mm_shuffle_epi8(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(window.Last)));
                const __m128i lead =
                    _mm_shuffle_epi8(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(window.Lead)));
                const __m128i three = _mm_load_si128(reinterpret_cast<const __m128i*>(window.ThreeBytes));
                // A lead byte of 110xxxxx has bit 5 clear, so six bits of it are its five.
                const __m128i units = _mm_or_si128(
                    _mm_or_si128(_mm_and_si128(last, lowSeven), _mm_srli_epi16(_mm_and_si128(last, middleSix), 2)),
                    _mm_and_si128(_mm_slli_epi16(lead, 12), three));
                const __m128i top = _mm_and_si128(units, highFive);
                const __m128i wrong = _mm_or_si128(
                    _mm_or_si128(_mm_cmpgt_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(window.LeadLow)), lead),
                                 _mm_cmpgt_epi16(lead, _mm_load_si128(reinterpret_cast<const __m128i*>(window.LeadHigh)))),
                    _mm_and_si128(three,
                                  _mm_or_si128(_mm_cmpeq_epi16(top, _mm_setzero_si128()), _mm_cmpeq_epi16(top, surrogates))));
                if (_mm_movemask_epi8(wrong) != 0) {
                    stopped = true;
                    break;
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Big ? _mm_shuffle_epi8(units, swap) : units);
                offset += windows.Bytes[starts];
                out += 2 * characters;
            }
            in += offset;
            if (stopped)
                break;
        }
        In = in;
        Out = out;
    }

    // Thirty-two bytes at a time, copied when they are all ASCII, else in two halves of sixteen:
    // each byte widened to a 16-bit lane that holds its one or two UTF-8 bytes, and each 128-bit
    // lane (eight characters) packed with the expand shuffle of its own eight bits.
    LUMIVA_AVX2 static void Latin1ToUtf8(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                         unsigned char* OutEnd)
    {
        const TByteShuffles& shuffles = ByteShuffles();
        const unsigned char* in = In;
        unsigned char* out = Out;
        while (InEnd - in >= 32 && OutEnd - out >= 64) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            const unsigned high = static_cast<unsigned>(_mm256_movemask_epi8(bytes));
            in += 32;
            if (high == 0) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
                out += 32;
                continue;
            }
            out = ExpandLatin1(shuffles, _mm256_castsi256_si128(bytes), high & 0xFFFF, out);
            out = ExpandLatin1(shuffles, _mm256_extracti128_si256(bytes, 1), high >> 16, out);
        }
        In = in;
        Out = out;
    }

    // Thirty-two positions at a time, copied when they are all ASCII: ASCII stays, C2 or C3 and a
    // continuation byte become one byte, and each eight positions are packed with the keep
    // shuffle. Any other byte above 0x7F, or a lead byte without its continuation, stops it.
    LUMIVA_AVX2 static void Utf8ToLatin1(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                         unsigned char* OutEnd)
    {
        const TByteShuffles& shuffles = ByteShuffles();
        const unsigned char* in = In;
        unsigned char* out = Out;
        // 1 when the position before in held a lead byte, whose continuation at in is taken: in
        // steps by a fixed 32, so that the next loads never wait on this one's content.
        unsigned taken = 0;
        // The second load reaches the byte after the 32 positions, which a lead at the last needs.
        while (InEnd - in >= 33 && OutEnd - out >= 32) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            const unsigned high = static_cast<unsigned>(_mm256_movemask_epi8(bytes));
            if (high == 0) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
                in += 32;
                out += 32;
                continue;
            }
            const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 1));
            const __m256i leadBytes = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(static_cast<char>(0xC2))),
                                                      _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(static_cast<char>(0xC3))));
            const unsigned leads = static_cast<unsigned>(_mm256_movemask_epi8(leadBytes));
            // Bit i: position i + 1 holds a continuation byte (0x80 to 0xBF, below -64 signed).
            const unsigned following =
                static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(-64), next)));
            const unsigned continuations = following << 1 | taken;
            if (!OnlyLatin1Pairs(high, leads, following, taken))
                break;
            const __m256i joined = _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(bytes, _mm256_set1_epi8(3)), 6),
                                                   _mm256_and_si256(next, _mm256_set1_epi8(0x3F)));
            const __m256i values = _mm256_blendv_epi8(bytes, joined, leadBytes);
            const unsigned keep = ~continuations;
            // Lane 0 holds positions 0 to 15, lane 1 positions 16 to 31: one shuffle packs the
            // first eight of each lane, the other the second eight.
            const __m256i firstEights = TwoRows(shuffles.Keep, keep & 0xFF, keep >> 16 & 0xFF);
            const __m256i secondEights = TwoRows(shuffles.KeepUpper, keep >> 8 & 0xFF, keep >> 24);
            const __m256i a = _mm256_shuffle_epi8(values, firstEights);
            const __m256i b = _mm256_shuffle_epi8(values, secondEights);
            const int first = __builtin_popcount(keep & 0xFF);
            const int second = first + __builtin_popcount(keep & 0xFF00);
            const int third = second + __builtin_popcount(keep & 0xFF0000);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(a));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + first), _mm256_castsi256_si128(b));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + second), _mm256_extracti128_si256(a, 1));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + third), _mm256_extracti128_si256(b, 1));
            out += __builtin_popcount(keep);
            in += 32;
            taken = leads >> 31;
        }
        In = in + taken;
        Out = out;
    }

private:
    // Two rows of a shuffle table as the two 128-bit lanes of one register.
    LUMIVA_AVX2 static __m256i TwoRows(const std::uint8_t (*Table)[16], unsigned Low, unsigned High)
    {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Table[Low]))),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(Table[High])), 1);
    }

    // Sixteen Latin-1 bytes (High: those above 0x7F) as UTF-8 at Out; returns the end. Writes up
    // to 32 bytes.
    LUMIVA_AVX2 static unsigned char* ExpandLatin1(const TByteShuffles& Shuffles, __m128i Bytes, unsigned High,
                                                   unsigned char* Out)
    {
        const __m256i units = _mm256_cvtepu8_epi16(Bytes);
        // Low byte: the character, or above 0x7F its lead byte C2 or C3 (the blend takes it where
        // the lane's low byte has its top bit); high byte: the continuation byte, which the
        // shuffle drops for ASCII.
        const __m256i lead = _mm256_or_si256(_mm256_srli_epi16(units, 6), _mm256_set1_epi16(0xC0));
        const __m256i forms = _mm256_or_si256(_mm256_blendv_epi8(units, lead, units),
                                              _mm256_and_si256(_mm256_slli_epi16(units, 8), _mm256_set1_epi16(static_cast<short>(0xBF00))));
        const __m256i order = TwoRows(Shuffles.Expand, High & 0xFF, High >> 8);
        const __m256i packed = _mm256_shuffle_epi8(forms, order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 8 + __builtin_popcount(High & 0xFF)),
                         _mm256_extracti128_si256(packed, 1));
        return Out + 16 + __builtin_popcount(High);
    }
};

} // namespace

TTranscodeProc FindAvx2Transcoder(TUnicodeForm From, TUnicodeForm To)
{
    return TranscoderFor<TAvx2Blocks>(From, To);
}

} // namespace lmviconv
