#include "detect/UnicodeLayout.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace UnicodeLayout {

namespace {

bool StartsWith(std::string_view Sample, std::string_view Mark)
{
    return Sample.substr(0, Mark.size()) == Mark;
}

// Whether one of the eight bytes at Bytes is past 0x7F.
bool AnyPastAscii(const char* Bytes)
{
    std::uint64_t word;
    std::memcpy(&word, Bytes, sizeof word);
    return (word & 0x8080808080808080ull) != 0;
}

// Units of Width bytes counted by the position of their zero bytes.
std::array<std::size_t, 4> ZerosByPosition(std::string_view Sample, std::size_t Width)
{
    std::array<std::size_t, 4> zeros{};
    const std::size_t usable = Sample.size() - Sample.size() % Width;
    for (std::size_t i = 0; i < usable; ++i)
        if (Sample[i] == '\0')
            ++zeros[i % Width];
    return zeros;
}

} // namespace

std::string SignatureEncoding(std::string_view Sample)
{
    using namespace std::string_view_literals;
    // UTF-32LE's mark begins with UTF-16LE's: test it first.
    if (StartsWith(Sample, "\xFF\xFE\x00\x00"sv) || StartsWith(Sample, "\x00\x00\xFE\xFF"sv))
        return "UTF-32";
    if (StartsWith(Sample, "\xFF\xFE"sv) || StartsWith(Sample, "\xFE\xFF"sv))
        return "UTF-16";
    if (StartsWith(Sample, "\xEF\xBB\xBF"sv))
        return "UTF-8";
    return {};
}

std::string ZeroBytePattern(std::string_view Sample)
{
    // UTF-32: the top byte of every unit is zero, and in text the next one nearly always.
    if (Sample.size() >= 8) {
        const std::size_t units = Sample.size() / 4;
        const auto zeros = ZerosByPosition(Sample, 4);
        if (zeros[3] == units && zeros[2] * 10 >= units * 9 && zeros[0] < units)
            return "UTF-32LE";
        if (zeros[0] == units && zeros[1] * 10 >= units * 9 && zeros[3] < units)
            return "UTF-32BE";
    }
    // UTF-16: the high byte of every Latin character, digit, space and line break is zero, and
    // the low byte of few. CJK text still has its line breaks and spaces. Other text has no zero
    // bytes at all, and what decodes to controls is refused afterwards.
    if (Sample.size() >= 4) {
        const std::size_t units = Sample.size() / 2;
        const auto zeros = ZerosByPosition(Sample, 2);
        if (zeros[1] * 64 >= units && zeros[0] * 8 <= zeros[1])
            return "UTF-16LE";
        if (zeros[0] * 64 >= units && zeros[1] * 8 <= zeros[0])
            return "UTF-16BE";
    }
    return {};
}

// Strict UTF-8 as a machine of nine states, each held as a shift: a byte's row holds the next
// state for every state, so a step is a load that does not wait for the state, and a shift.
namespace Utf8States {

enum : unsigned {
    Accept = 0,
    Error = 6,
    OneMore = 12,   // any continuation byte, then a character
    TwoMore = 18,   // any continuation byte, then OneMore
    ThreeMore = 24, // any continuation byte, then TwoMore
    AfterE0 = 30,   // A0..BF (no overlong form), then OneMore
    AfterED = 36,   // 80..9F (no surrogate), then OneMore
    AfterF0 = 42,   // 90..BF (no overlong form), then TwoMore
    AfterF4 = 48,   // 80..8F (nothing past U+10FFFF), then TwoMore
};

constexpr std::array<std::uint64_t, 256> Rows = [] {
    std::array<std::uint64_t, 256> rows{};
    for (unsigned b = 0; b < 256; ++b) {
        auto next = [&](unsigned from, unsigned to) { rows[b] |= std::uint64_t{to} << from; };
        const unsigned lead = b < 0x80                  ? Accept
                              : b >= 0xC2 && b <= 0xDF ? OneMore
                              : b == 0xE0              ? AfterE0
                              : b == 0xED              ? AfterED
                              : b >= 0xE1 && b <= 0xEF ? TwoMore
                              : b == 0xF0              ? AfterF0
                              : b == 0xF4              ? AfterF4
                              : b >= 0xF1 && b <= 0xF3 ? ThreeMore
                                                       : Error;
        next(Accept, lead);
        next(Error, Error);
        const bool continuation = b >= 0x80 && b <= 0xBF;
        next(OneMore, continuation ? Accept : Error);
        next(TwoMore, continuation ? OneMore : Error);
        next(ThreeMore, continuation ? TwoMore : Error);
        next(AfterE0, b >= 0xA0 && b <= 0xBF ? OneMore : Error);
        next(AfterED, b >= 0x80 && b <= 0x9F ? OneMore : Error);
        next(AfterF0, b >= 0x90 && b <= 0xBF ? TwoMore : Error);
        next(AfterF4, b >= 0x80 && b <= 0x8F ? TwoMore : Error);
    }
    return rows;
}();

} // namespace Utf8States

#if defined(__x86_64__)

#define LUMIVA_AVX2 __attribute__((target("avx2")))

// Blocks of 32 bytes. Strict UTF-8 by the classes of each byte's high nibble, of the byte before's
// two nibbles and of the bytes two and three back (the lookup method of simdjson and simdutf).
namespace Utf8Blocks {

enum : std::uint8_t {
    TooShort = 1 << 0,   // a lead, then no continuation
    TooLong = 1 << 1,    // ASCII, then a continuation
    Overlong3 = 1 << 2,  // E0 80..9F
    TooLarge = 1 << 3,   // F4 90..BF, F5..FF
    Surrogate = 1 << 4,  // ED A0..BF
    Overlong2 = 1 << 5,  // C0, C1
    TooLarge1000 = 1 << 6,
    Overlong4 = 1 << 6,  // F0 80..8F
    TwoConts = 1 << 7,   // a continuation after a continuation: fine only 2 or 3 bytes past a lead
    Carry = TooShort | TooLong | TwoConts,
};

LUMIVA_AVX2 inline __m256i Table(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3, std::uint8_t a4,
                                 std::uint8_t a5, std::uint8_t a6, std::uint8_t a7, std::uint8_t a8, std::uint8_t a9,
                                 std::uint8_t a10, std::uint8_t a11, std::uint8_t a12, std::uint8_t a13,
                                 std::uint8_t a14, std::uint8_t a15)
{
    return _mm256_setr_epi8(a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a0, a1, a2, a3, a4, a5,
                            a6, a7, a8, a9, a10, a11, a12, a13, a14, a15);
}

// Bytes N back from each byte of Input, Previous being the block before.
template <int N>
LUMIVA_AVX2 inline __m256i Back(__m256i Input, __m256i Previous)
{
    return _mm256_alignr_epi8(Input, _mm256_permute2x128_si256(Previous, Input, 0x21), 16 - N);
}

// How many bytes from the start of Bytes hold whole blocks of strict UTF-8 (the last block may end
// inside a character); Seen gets every byte or'ed.
LUMIVA_AVX2 std::size_t ValidPrefix(const unsigned char* Bytes, std::size_t Size, unsigned& Seen)
{
    const __m256i highNibbles1 = Table(TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TwoConts,
                                       TwoConts, TwoConts, TwoConts, TooShort | Overlong2, TooShort,
                                       TooShort | Overlong3 | Surrogate, TooShort | TooLarge | TooLarge1000 | Overlong4);
    const __m256i lowNibbles1 =
        Table(Carry | Overlong3 | Overlong2 | Overlong4, Carry | Overlong2, Carry, Carry, Carry | TooLarge,
              Carry | TooLarge | TooLarge1000, Carry | TooLarge | TooLarge1000, Carry | TooLarge | TooLarge1000,
              Carry | TooLarge | TooLarge1000, Carry | TooLarge | TooLarge1000, Carry | TooLarge | TooLarge1000,
              Carry | TooLarge | TooLarge1000, Carry | TooLarge | TooLarge1000,
              Carry | TooLarge | TooLarge1000 | Surrogate, Carry | TooLarge | TooLarge1000, Carry | TooLarge | TooLarge1000);
    const __m256i highNibbles2 =
        Table(TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort,
              TooLong | Overlong2 | TwoConts | Overlong3 | TooLarge1000 | Overlong4,
              TooLong | Overlong2 | TwoConts | Overlong3 | TooLarge, TooLong | Overlong2 | TwoConts | Surrogate | TooLarge,
              TooLong | Overlong2 | TwoConts | Surrogate | TooLarge, TooShort, TooShort, TooShort, TooShort);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i previous = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    __m256i seen = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= Size; i += 32) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Bytes + i));
        seen = _mm256_or_si256(seen, input);
        const __m256i back1 = Back<1>(input, previous);
        const __m256i classes = _mm256_and_si256(
            _mm256_and_si256(_mm256_shuffle_epi8(highNibbles1, _mm256_and_si256(_mm256_srli_epi16(back1, 4), nibble)),
                             _mm256_shuffle_epi8(lowNibbles1, _mm256_and_si256(back1, nibble))),
            _mm256_shuffle_epi8(highNibbles2, _mm256_and_si256(_mm256_srli_epi16(input, 4), nibble)));
        // The third and fourth bytes of a character, which the classes let through as TwoConts.
        const __m256i third = _mm256_subs_epu8(Back<2>(input, previous), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        const __m256i fourth = _mm256_subs_epu8(Back<3>(input, previous), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        const __m256i expected = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
        error = _mm256_or_si256(error, _mm256_xor_si256(expected, classes));
        previous = input;
        // A block at a time between the checks for an error, which 8-bit text meets early.
        if ((i & 0xE0) == 0xE0 && !_mm256_testz_si256(error, error))
            return 0;
    }
    if (!_mm256_testz_si256(error, error))
        return 0;
    Seen |= static_cast<unsigned>(_mm256_movemask_epi8(seen)) != 0 ? 0x80u : 0u;
    return i;
}

// Whether Bytes holds a control byte that text does not (see HasBinaryControls), 32 bytes at a
// time; the bytes past the last whole block are left to the caller, whose count Checked gets.
LUMIVA_AVX2 bool BinaryControls(const unsigned char* Bytes, std::size_t Size, std::size_t& Checked)
{
    // By low nibble: the controls 0x00 to 0x0F and 0x10 to 0x1F that no text holds.
    const __m256i below10 = Table(0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0);
    const __m256i below20 = Table(0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF);
    const __m256i highNibble = _mm256_set1_epi8(static_cast<char>(0xF0));
    std::size_t i = 0;
    for (; i + 32 <= Size; i += 32) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Bytes + i));
        const __m256i high = _mm256_and_si256(input, highNibble);
        const __m256i binary = _mm256_or_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(high, _mm256_setzero_si256()), _mm256_shuffle_epi8(below10, input)),
            _mm256_and_si256(_mm256_cmpeq_epi8(high, _mm256_set1_epi8(0x10)), _mm256_shuffle_epi8(below20, input)));
        if (!_mm256_testz_si256(binary, binary))
            return true;
    }
    Checked = i;
    return false;
}

} // namespace Utf8Blocks

#endif

namespace {

// The machine of states from Start on; Seen as below for the bytes before.
TUtf8 CheckUtf8States(std::string_view Sample, bool Complete, std::size_t Start, unsigned Seen);

} // namespace

TUtf8 CheckUtf8(std::string_view Sample, bool Complete)
{
    unsigned seen = 0;
    std::size_t start = 0;
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && Sample.size() >= 64) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(Sample.data());
        const std::size_t valid = Utf8Blocks::ValidPrefix(bytes, Sample.size(), seen);
        if (valid == 0)
            return TUtf8::Invalid;
        // The blocks may end inside a character: the machine goes on from its first byte.
        start = valid;
        for (std::size_t back = 1; back <= 4; ++back)
            if ((bytes[valid - back] & 0xC0) != 0x80) {
                start = valid - back;
                break;
            }
    }
#endif
    return CheckUtf8States(Sample, Complete, start, seen);
}

namespace {

TUtf8 CheckUtf8States(std::string_view Sample, bool Complete, std::size_t Start, unsigned Seen)
{
    using namespace Utf8States;
    const std::size_t size = Sample.size();
    unsigned state = Accept;
    unsigned seen = Seen; // every byte or'ed: past ASCII when its top bit is set
    std::size_t i = Start;
    while (i < size) {
        if (state == Accept) {
            // Runs of ASCII eight bytes at a time.
            while (i + 8 <= size && !AnyPastAscii(Sample.data() + i))
                i += 8;
            if (i == size)
                break;
        }
        // A block at a time between the checks for an error, which 8-bit text meets early.
        const std::size_t end = std::min(size, i + 64);
        for (; i < end; ++i) {
            const auto b = static_cast<std::uint8_t>(Sample[i]);
            seen |= b;
            state = static_cast<unsigned>(Rows[b] >> state) & 63;
        }
        if (state == Error)
            return TUtf8::Invalid;
    }
    if (state != Accept)
        return Complete ? TUtf8::Invalid : TUtf8::Utf8; // a sequence cut by the end of the sample
    return (seen & 0x80) == 0 ? TUtf8::Ascii : TUtf8::Utf8;
}

} // namespace

bool DoubleByteLayout(std::string_view Sample, bool Complete)
{
    for (std::size_t i = 0; i < Sample.size(); ++i) {
        if (static_cast<std::uint8_t>(Sample[i]) <= 0x80)
            continue;
        if (i + 1 == Sample.size())
            return !Complete;
        const auto trail = static_cast<std::uint8_t>(Sample[++i]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            return false;
    }
    return true;
}

bool HasBinaryControls(std::string_view Sample)
{
    static constexpr std::array<bool, 256> binary = [] {
        std::array<bool, 256> controls{};
        for (unsigned b = 0; b < 0x20; ++b)
            controls[b] = b != '\t' && b != '\n' && b != '\v' && b != '\f' && b != '\r' && b != 0x0E && b != 0x0F &&
                          b != 0x1A && b != 0x1B;
        return controls;
    }();
    std::size_t i = 0;
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && Utf8Blocks::BinaryControls(reinterpret_cast<const unsigned char*>(Sample.data()), Sample.size(), i))
        return true;
    // Sixteen bytes at a time: only the bytes below 0x20 (line breaks, mostly) are looked up.
    const __m128i highestControl = _mm_set1_epi8(0x1F);
    for (; i + 16 <= Sample.size(); i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Sample.data() + i));
        for (auto controls = static_cast<unsigned>(
                 _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(block, highestControl), block)));
             controls != 0; controls &= controls - 1)
            if (binary[static_cast<std::uint8_t>(Sample[i + static_cast<std::size_t>(__builtin_ctz(controls))])])
                return true;
    }
#endif
    // Eight bytes at a time: only a word with a byte below 0x20 (a line break, mostly) is looked
    // at byte by byte.
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    for (; i + 8 <= Sample.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, Sample.data() + i, sizeof word);
        if (((word - ones * 0x20) & ~word & ones * 0x80) == 0)
            continue;
        for (std::size_t k = i; k < i + 8; ++k)
            if (binary[static_cast<std::uint8_t>(Sample[k])])
                return true;
    }
    for (; i < Sample.size(); ++i)
        if (binary[static_cast<std::uint8_t>(Sample[i])])
            return true;
    return false;
}

} // namespace UnicodeLayout
