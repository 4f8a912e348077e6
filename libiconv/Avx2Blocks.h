#pragma once

// The AVX2 blocks, for the units that build converters with them (AVX2 alone, and AVX-512 over
// it). Only the functions marked for AVX2 use it; callers reach them only when the processor
// has it. Internal linkage, as the loop's.

#include "libiconv/TranscodeLoop.h"
#include "libiconv/ByteShuffles.h"

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

    // Thirty-two positions at a time, with no step waiting on the one before: each position
    // where a character ends (the next byte is not a continuation byte) takes the character's
    // UTF-16 unit from its own byte and the two before it, and each eight positions are packed
    // to their character ends with the keep shuffle. Stops before a block with anything else
    // (a byte out of place, an overlong form, a surrogate, four bytes), at the last character
    // boundary, for the character loop to decide; ASCII blocks are widened at once.
    template <bool Big>
    LUMIVA_AVX2 static void Utf8ToUtf16(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                        unsigned char* OutEnd)
    {
        const TByteShuffles& shuffles = ByteShuffles();
        const unsigned char* in = In;
        unsigned char* out = Out;
        // Where the characters converted so far end: a character may start in one block and
        // end in the next. The output has them all.
        const unsigned char* boundary = in;
        // The block before, for the bytes before each position; none at the start, where the
        // first byte must begin a character.
        __m256i before = _mm256_setzero_si256();
        const __m256i belowLeads = _mm256_set1_epi8(-64);
        const __m256i sixBits = _mm256_set1_epi8(0x3F);
        // The second load reaches the byte after the 32, which tells whether the last ends there.
        while (InEnd - in >= 33 && OutEnd - out >= 64) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            if (_mm256_movemask_epi8(bytes) == 0) {
                const __m128i halves[2] = {_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1)};
                for (int i = 0; i < 2; ++i) {
                    __m256i units = _mm256_cvtepu8_epi16(halves[i]);
                    if constexpr (Big)
                        units = _mm256_slli_epi16(units, 8);
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out) + i, units);
                }
                before = bytes;
                in += 32;
                out += 64;
                boundary = in;
                continue;
            }
            const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 1));
            const unsigned ends =
                ~static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(belowLeads, next)));
            // The bytes one and two positions back, across the lanes and from the block before.
            const __m256i joined = _mm256_permute2x128_si256(before, bytes, 0x21);
            const __m256i back1 = _mm256_alignr_epi8(bytes, joined, 15);
            const __m256i back2 = _mm256_alignr_epi8(bytes, joined, 14);
            const __m256i continued = _mm256_cmpgt_epi8(belowLeads, bytes);
            const __m256i continuedBack1 = _mm256_cmpgt_epi8(belowLeads, back1);
            const __m256i threeBytes = _mm256_and_si256(continued, continuedBack1);
            const __m256i twoBytes = _mm256_andnot_si256(continuedBack1, continued);
            // Low byte: six bits of this byte and two of the one before; high byte: four bits of
            // the one before and, for three bytes, four of the lead. One byte stays as it is.
            const __m256i low = _mm256_blendv_epi8(
                bytes,
                _mm256_or_si256(_mm256_and_si256(bytes, sixBits),
                                _mm256_and_si256(_mm256_slli_epi16(back1, 6), _mm256_set1_epi8(static_cast<char>(0xC0)))),
                continued);
            const __m256i high = _mm256_and_si256(
                continued,
                _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(back1, 2), _mm256_set1_epi8(0x0F)),
                                _mm256_and_si256(threeBytes, _mm256_and_si256(_mm256_slli_epi16(back2, 4),
                                                                              _mm256_set1_epi8(static_cast<char>(0xF0))))));
            // As the decoder sees them: a character of one byte is ASCII, of two has a lead
            // C2 to DF, of three a lead E0 to EF and a value from 0x800 that is no surrogate.
            // Lead bytes are -62 to -33 and -32 to -17 as signed bytes.
            const __m256i top = _mm256_and_si256(high, _mm256_set1_epi8(static_cast<char>(0xF8)));
            const __m256i wrong = _mm256_or_si256(
                _mm256_or_si256(_mm256_andnot_si256(continued, _mm256_cmpgt_epi8(_mm256_setzero_si256(), bytes)),
                                _mm256_andnot_si256(_mm256_and_si256(_mm256_cmpgt_epi8(back1, _mm256_set1_epi8(-63)),
                                                                     _mm256_cmpgt_epi8(_mm256_set1_epi8(-32), back1)),
                                                    twoBytes)),
                _mm256_and_si256(threeBytes,
                                 _mm256_or_si256(_mm256_or_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(-32), back2),
                                                                 _mm256_cmpgt_epi8(back2, _mm256_set1_epi8(-17))),
                                                 _mm256_or_si256(_mm256_cmpeq_epi8(top, _mm256_setzero_si256()),
                                                                 _mm256_cmpeq_epi8(top, _mm256_set1_epi8(static_cast<char>(0xD8)))))));
            if ((static_cast<unsigned>(_mm256_movemask_epi8(wrong)) & ends) != 0)
                break;
            // Positions 0-7 and 16-23, then 8-15 and 24-31, as 16-bit units.
            const __m256i first = Big ? _mm256_unpacklo_epi8(high, low) : _mm256_unpacklo_epi8(low, high);
            const __m256i second = Big ? _mm256_unpackhi_epi8(high, low) : _mm256_unpackhi_epi8(low, high);
            const __m256i a = _mm256_shuffle_epi8(first, TwoRows(shuffles.KeepUnits, ends & 0xFF, ends >> 16 & 0xFF));
            const __m256i b = _mm256_shuffle_epi8(second, TwoRows(shuffles.KeepUnits, ends >> 8 & 0xFF, ends >> 24));
            const int n0 = 2 * __builtin_popcount(ends & 0xFF);
            const int n1 = n0 + 2 * __builtin_popcount(ends & 0xFF00);
            const int n2 = n1 + 2 * __builtin_popcount(ends & 0xFF0000);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(a));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n0), _mm256_castsi256_si128(b));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n1), _mm256_extracti128_si256(a, 1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n2), _mm256_extracti128_si256(b, 1));
            out += 2 * __builtin_popcount(ends);
            before = bytes;
            if (ends != 0)
                boundary = in + 32 - __builtin_clz(ends);
            in += 32;
        }
        In = boundary;
        Out = out;
    }

    // Sixteen UTF-16 units at a time, packed when they are all ASCII; below 0x800, each unit made
    // into its one or two bytes at once, as Latin-1 is; sixteen with a unit of three bytes (a
    // euro sign in a log line), one by one here rather than in the character loop. Stops before a
    // surrogate, for the character loop to pair or refuse.
    template <bool Big>
    LUMIVA_AVX2 static void Utf16ToUtf8(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                        unsigned char* OutEnd)
    {
        const TByteShuffles& shuffles = ByteShuffles();
        const unsigned char* in = In;
        unsigned char* out = Out;
        const __m256i swap = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14,
                                              1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
        while (InEnd - in >= 32 && OutEnd - out >= 48) {
            __m256i units = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            if constexpr (Big)
                units = _mm256_shuffle_epi8(units, swap);
            // Unsigned compares as signed ones, with the top bit flipped.
            const __m256i flipped = _mm256_xor_si256(units, _mm256_set1_epi16(static_cast<short>(0x8000)));
            const __m256i aboveAscii = _mm256_cmpgt_epi16(flipped, _mm256_set1_epi16(static_cast<short>(0x807F)));
            const __m256i aboveTwo = _mm256_cmpgt_epi16(flipped, _mm256_set1_epi16(static_cast<short>(0x87FF)));
            const __m256i surrogate = _mm256_cmpeq_epi16(_mm256_and_si256(units, _mm256_set1_epi16(static_cast<short>(0xF800))),
                                                         _mm256_set1_epi16(static_cast<short>(0xD800)));
            if (!_mm256_testz_si256(surrogate, surrogate))
                break;
            if (_mm256_testz_si256(aboveAscii, aboveAscii)) {
                const __m256i bytes = _mm256_packus_epi16(units, units);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 8), _mm256_extracti128_si256(bytes, 1));
                in += 32;
                out += 16;
                continue;
            }
            if (_mm256_testz_si256(aboveTwo, aboveTwo)) {
                // One bit a unit: the pack keeps each lane's eight, twice.
                const unsigned lanes = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_packs_epi16(aboveAscii, aboveAscii)));
                out = ExpandUnits(shuffles, units, aboveAscii, (lanes & 0xFF) | (lanes >> 8 & 0xFF00), out);
                in += 32;
                continue;
            }
            for (int i = 0; i < 16; ++i, in += 2) {
                const std::uint32_t cp = Big ? (std::uint32_t{in[0]} << 8 | in[1]) : (std::uint32_t{in[1]} << 8 | in[0]);
                const std::size_t length = TEncodeUtf8::Length(cp);
                TEncodeUtf8::Write(out, cp, length);
                out += length;
            }
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
            // Each 16-bit unit above 0x7F has the top bit of its low byte, where the blend looks.
            const __m256i first = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(bytes));
            const __m256i second = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(bytes, 1));
            out = ExpandUnits(shuffles, first, first, high & 0xFFFF, out);
            out = ExpandUnits(shuffles, second, second, high >> 16, out);
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

    // Sixteen units below 0x800 (Above: all ones where one is above 0x7F, and High those as bits)
    // as UTF-8 at Out; returns the end. Writes up to 32 bytes.
    LUMIVA_AVX2 static unsigned char* ExpandUnits(const TByteShuffles& Shuffles, __m256i Units, __m256i Above,
                                                  unsigned High, unsigned char* Out)
    {
        // Low byte: the character, or above 0x7F its lead byte; high byte: the continuation
        // byte, which the shuffle drops for ASCII.
        const __m256i lead = _mm256_or_si256(_mm256_srli_epi16(Units, 6), _mm256_set1_epi16(0xC0));
        const __m256i forms = _mm256_or_si256(
            _mm256_blendv_epi8(Units, lead, Above),
            _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(Units, 8), _mm256_set1_epi16(0x3F00)),
                            _mm256_set1_epi16(static_cast<short>(0x8000))));
        const __m256i order = TwoRows(Shuffles.Expand, High & 0xFF, High >> 8);
        const __m256i packed = _mm256_shuffle_epi8(forms, order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 8 + __builtin_popcount(High & 0xFF)),
                         _mm256_extracti128_si256(packed, 1));
        return Out + 16 + __builtin_popcount(High);
    }
};

} // namespace
} // namespace lmviconv
