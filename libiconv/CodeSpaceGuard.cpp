#include "libiconv/CodeSpaceGuard.h"

#include <algorithm>
#include <cstdint>
#include <iconv.h>
#include <string>

namespace lmviconv {

namespace {

const std::uint32_t LastCodePoint = 0x10FFFF;

std::uint32_t Big(const unsigned char* p) noexcept
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t Little(const unsigned char* p) noexcept
{
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// The one code point that Cd makes of Probe, or 0 when it makes something else.
std::uint32_t DecodeOne(iconv_t Cd, const std::string& Probe) noexcept
{
    iconv(Cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = Probe;
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    unsigned char out[16];
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    if (iconv(Cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
        sizeof out - outLeft != 4)
        return 0;
    return Big(out);
}

// Bytes of the UTF-8 form that a lead byte announces; 0 for a byte that leads nothing past U+FFFF.
std::size_t Utf8Length(unsigned char Lead) noexcept
{
    return Lead >= 0xFC && Lead <= 0xFD ? 6 : Lead >= 0xF8 && Lead <= 0xFB ? 5 : Lead >= 0xF0 && Lead <= 0xF7 ? 4 : 0;
}

constexpr std::size_t ScanBlock = 64;

unsigned char BlockMax(const unsigned char* Block) noexcept
{
    unsigned char high = 0;
    for (std::size_t k = 0; k < ScanBlock; ++k)
        high = Block[k] > high ? Block[k] : high;
    return high;
}

bool IsContinuation(unsigned char c) noexcept
{
    return (c & 0xC0) == 0x80;
}

} // namespace

void TCodeSpaceGuard::Learn(const char* FromCode) noexcept
{
    Form = TForm::None;
    const iconv_t cd = iconv_open("UCS-4BE", FromCode);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return;
    const std::uint32_t beyond = LastCodePoint + 1;
    if (DecodeOne(cd, std::string("\xF4\x90\x80\x80", 4)) == beyond)
        Form = TForm::Utf8;
    else if (DecodeOne(cd, std::string("\x00\x11\x00\x00", 4)) == beyond)
        Form = TForm::Ucs4Big;
    else if (DecodeOne(cd, std::string("\x00\x00\x11\x00", 4)) == beyond)
        Form = TForm::Ucs4Little;
    iconv_close(cd);
}

std::size_t TCodeSpaceGuard::FindFirst(const unsigned char* Data, std::size_t Size) const noexcept
{
    switch (Form) {
    case TForm::None:
        return Size;
    case TForm::Utf8:
        for (std::size_t i = 0; i < Size;) {
            const std::size_t end = std::min(Size, i + ScanBlock);
            // A whole block without a byte from F4 up is passed over at the speed of a vector max.
            if (end - i == ScanBlock && BlockMax(Data + i) < 0xF4) {
                i = end;
                continue;
            }
            for (; i < end; ++i) {
                const unsigned char c = Data[i];
                if (c < 0xF4 || c > 0xFD)
                    continue;
                const std::size_t length = Length(Data + i, Size - i);
                if (length < Utf8Length(c) && i + length == Size)
                    return Size; // cut off: the C library reports it incomplete
                // F4 leads U+100000 to U+10FFFF too: its second byte tells.
                if (c > 0xF4 || (Data[i + 1] >= 0x90 && Data[i + 1] <= 0xBF))
                    return i;
            }
        }
        return Size;
    case TForm::Ucs4Big:
    case TForm::Ucs4Little:
        for (std::size_t i = 0; i + 4 <= Size; i += 4)
            if ((Form == TForm::Ucs4Big ? Big(Data + i) : Little(Data + i)) > LastCodePoint)
                return i;
        return Size;
    }
    return Size;
}

std::size_t TCodeSpaceGuard::Length(const unsigned char* Data, std::size_t Size) const noexcept
{
    if (Size == 0)
        return 0;
    if (Form != TForm::Utf8)
        return Size < 4 ? Size : 4;
    const std::size_t announced = Utf8Length(Data[0]);
    std::size_t length = 1;
    while (length < announced && length < Size && IsContinuation(Data[length]))
        ++length;
    return length;
}

} // namespace lmviconv
