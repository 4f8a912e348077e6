#include "detect/UnicodeLayout.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

TUtf8 CheckUtf8(std::string_view Sample, bool Complete)
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
    // Eight bytes at a time: only a word with a byte below 0x20 (a line break, mostly) is looked
    // at byte by byte.
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    std::size_t i = 0;
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
