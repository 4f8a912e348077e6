#include "detect/UnicodeLayout.h"

#include "detect/ProcessorFeatures.h"

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
    // Most samples start with no byte that a signature starts with.
    if (Sample.empty() || std::string_view("\xFF\xFE\x00\xEF"sv).find(Sample.front()) == std::string_view::npos)
        return {};
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

// The bytes of Input that are controls no text holds (see CheckText), non-zero; High holds
// each byte's high nibble. Bytes past 0x7F look up zero in the first table.
LUMIVA_AVX2 inline __m256i Controls(__m256i Input, __m256i High)
{
    // By low nibble, a bit for the controls of 0x00 to 0x0F and one for those of 0x10 to 0x1F;
    // by high nibble, which of the two bits counts.
    const __m256i byLow = Table(3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 0, 0, 2, 2, 2, 2);
    const __m256i byHigh = Table(1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return _mm256_and_si256(_mm256_shuffle_epi8(byLow, Input), _mm256_shuffle_epi8(byHigh, High));
}

LUMIVA_AVX2 inline __m256i HighNibbles(__m256i Input)
{
    return _mm256_and_si256(_mm256_srli_epi16(Input, 4), _mm256_set1_epi8(0x0F));
}

// Whether the blocks from Start on hold a control byte that text does not; the bytes past the
// last whole block are left to the caller.
LUMIVA_AVX2 bool ControlBlocks(const unsigned char* Bytes, std::size_t Start, std::size_t Size)
{
    for (std::size_t i = Start; i + 32 <= Size; i += 32) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Bytes + i));
        const __m256i controls = Controls(input, HighNibbles(input));
        if (!_mm256_testz_si256(controls, controls))
            return true;
    }
    return false;
}

// The errors of strict UTF-8 in Input, Previous being the 32 bytes before it; a character that
// the block ends before it ends is left to the next block.
__attribute__((always_inline)) LUMIVA_AVX2 inline __m256i Utf8Errors(__m256i Input, __m256i Previous)
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
    const __m256i back1 = Back<1>(Input, Previous);
    const __m256i classes = _mm256_and_si256(
        _mm256_and_si256(_mm256_shuffle_epi8(highNibbles1, HighNibbles(back1)),
                         _mm256_shuffle_epi8(lowNibbles1, _mm256_and_si256(back1, _mm256_set1_epi8(0x0F)))),
        _mm256_shuffle_epi8(highNibbles2, HighNibbles(Input)));
    // The third and fourth bytes of a character, which the classes let through as TwoConts.
    const __m256i third = _mm256_subs_epu8(Back<2>(Input, Previous), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i fourth = _mm256_subs_epu8(Back<3>(Input, Previous), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i expected = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    return _mm256_xor_si256(expected, classes);
}

// Non-zero where the last three bytes of Block start a character that goes on past it.
LUMIVA_AVX2 inline __m256i Unfinished(__m256i Block)
{
    const __m256i lastLeads =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
                         static_cast<char>(0xC0 - 1));
    return _mm256_subs_epu8(Block, lastLeads);
}

LUMIVA_AVX2 inline bool Any(__m256i Bits)
{
    return !_mm256_testz_si256(Bits, Bits);
}

// Strict UTF-8 and the controls of data, block after block.
struct TScan {
    __m256i Error;
    __m256i Controls;
    __m256i Previous; // the block before
    bool PastAscii;
};

// The blocks First and Second, one after the other. Two blocks of ASCII only are checked only for
// a character that the block before left unfinished.
__attribute__((always_inline)) LUMIVA_AVX2 inline void Step(TScan& Scan, __m256i First, __m256i Second)
{
    Scan.Controls = _mm256_or_si256(Scan.Controls, _mm256_or_si256(Controls(First, HighNibbles(First)),
                                                                         Controls(Second, HighNibbles(Second))));
    if (_mm256_movemask_epi8(_mm256_or_si256(First, Second)) == 0) {
        Scan.Error = _mm256_or_si256(Scan.Error, Unfinished(Scan.Previous));
    } else {
        Scan.PastAscii = true;
        Scan.Error = _mm256_or_si256(Scan.Error,
                                     _mm256_or_si256(Utf8Errors(First, Scan.Previous), Utf8Errors(Second, First)));
    }
    Scan.Previous = Second;
}

// One block, checked whole.
__attribute__((always_inline)) LUMIVA_AVX2 inline void Step(TScan& Scan, __m256i Block)
{
    Scan.Controls = _mm256_or_si256(Scan.Controls, Controls(Block, HighNibbles(Block)));
    Scan.PastAscii = Scan.PastAscii || _mm256_movemask_epi8(Block) != 0;
    Scan.Error = _mm256_or_si256(Scan.Error, Utf8Errors(Block, Scan.Previous));
    Scan.Previous = Block;
}

LUMIVA_AVX2 inline __m256i Load(const unsigned char* Bytes)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Bytes));
}

// The whole of a sample of Size bytes, Size at least 64: its whole blocks, then the last 32 bytes
// again when a part block is left (a byte checked twice gets the same answer), the controls of data
// with it; a sample that is no UTF-8 is read on for the controls alone.
LUMIVA_AVX2 TTextBytes Blocks(const unsigned char* Bytes, std::size_t Size, bool Complete)
{
    TScan scan{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), false};
    std::size_t i = 0;
    for (; i + 64 <= Size; i += 64) {
        Step(scan, Load(Bytes + i), Load(Bytes + i + 32));
        // 256 bytes between the checks, which 8-bit text and data meet early.
        if ((i & 0xC0) == 0xC0 && Any(_mm256_or_si256(scan.Error, scan.Controls))) {
            if (Any(scan.Controls))
                return {true, TUtf8::Invalid};
            const __m256i last = Load(Bytes + Size - 32);
            return {ControlBlocks(Bytes, i + 64, Size) || Any(Controls(last, HighNibbles(last))),
                    TUtf8::Invalid};
        }
    }
    if (i + 32 <= Size) {
        Step(scan, Load(Bytes + i));
        i += 32;
    }
    if (i < Size) {
        scan.Previous = Load(Bytes + Size - 64);
        Step(scan, Load(Bytes + Size - 32));
    }
    if (Any(scan.Controls))
        return {true, TUtf8::Invalid};
    if (Any(scan.Error))
        return {false, TUtf8::Invalid};
    if (!Any(Unfinished(scan.Previous)))
        return {false, scan.PastAscii ? TUtf8::Utf8 : TUtf8::Ascii};
    // A character cut by the end: its lead is checked only by the bytes after it, unless it is
    // the last byte.
    const unsigned char last = Bytes[Size - 1];
    const bool valid = last < 0xC0 || (last >= 0xC2 && last <= 0xF4);
    return {false, Complete || !valid ? TUtf8::Invalid : TUtf8::Utf8};
}

} // namespace Utf8Blocks

#endif

namespace {

// Without AVX2: the machine of states, and the controls of data a few bytes at a time.
TUtf8 CheckUtf8States(std::string_view Sample, bool Complete);
bool ControlsInBytes(std::string_view Sample);

} // namespace

// In blocks where the processor has AVX2, a short sample padded with spaces in front, which change
// neither answer.
TTextBytes CheckText(std::string_view Sample, bool Complete)
{
#if defined(__x86_64__)
    if (HasAvx2()) {
        if (Sample.size() >= 64)
            return Utf8Blocks::Blocks(reinterpret_cast<const unsigned char*>(Sample.data()), Sample.size(), Complete);
        unsigned char padded[64];
        std::memset(padded, ' ', sizeof padded);
        if (!Sample.empty())
            std::memcpy(padded + sizeof padded - Sample.size(), Sample.data(), Sample.size());
        return Utf8Blocks::Blocks(padded, sizeof padded, Complete);
    }
#endif
    if (ControlsInBytes(Sample))
        return {true, TUtf8::Invalid};
    return {false, CheckUtf8States(Sample, Complete)};
}

namespace {

TUtf8 CheckUtf8States(std::string_view Sample, bool Complete)
{
    using namespace Utf8States;
    const std::size_t size = Sample.size();
    unsigned state = Accept;
    unsigned seen = 0; // every byte or'ed: past ASCII when its top bit is set
    std::size_t i = 0;
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

namespace {

bool ControlsInBytes(std::string_view Sample)
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

} // namespace

} // namespace UnicodeLayout
