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

TUtf8 CheckUtf8(std::string_view Sample, bool Complete)
{
    bool ascii = true;
    const std::size_t size = Sample.size();
    std::size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<std::uint8_t>(Sample[i]);
        if (lead < 0x80) {
            // Runs of ASCII eight bytes at a time.
            ++i;
            while (i + 8 <= size && !AnyPastAscii(Sample.data() + i))
                i += 8;
            continue;
        }
        ascii = false;
        std::size_t length;
        std::uint8_t low = 0x80, high = 0xBF; // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0; // overlong
            if (lead == 0xED)
                high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90; // overlong
            if (lead == 0xF4)
                high = 0x8F; // past U+10FFFF
        } else {
            return TUtf8::Invalid;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= size)
                return Complete ? TUtf8::Invalid : TUtf8::Utf8;
            const auto next = static_cast<std::uint8_t>(Sample[i + k]);
            if (k == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF))
                return TUtf8::Invalid;
        }
        i += length;
    }
    return ascii ? TUtf8::Ascii : TUtf8::Utf8;
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
    // Without a branch per byte; a block at a time, as data shows its controls early.
    constexpr std::size_t Block = 256;
    for (std::size_t start = 0; start < Sample.size(); start += Block) {
        const std::size_t end = std::min(Sample.size(), start + Block);
        bool found = false;
        for (std::size_t i = start; i < end; ++i)
            found |= binary[static_cast<std::uint8_t>(Sample[i])];
        if (found)
            return true;
    }
    return false;
}

} // namespace UnicodeLayout
