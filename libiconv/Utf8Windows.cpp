#include "libiconv/Utf8Windows.h"

namespace lmviconv {

namespace {

constexpr std::uint8_t Zero = 0x80; // a shuffle index that writes a zero byte

constexpr TUtf8Windows BuildWindows()
{
    TUtf8Windows windows{};
    for (unsigned starts = 0; starts < 8192; ++starts) {
        TUtf8Window& window = windows.Windows[starts];
        for (int i = 0; i < 16; ++i)
            window.Last[i] = window.Lead[i] = Zero;
        for (int i = 0; i < 8; ++i) {
            window.LeadLow[i] = 0;
            window.LeadHigh[i] = 0xFF;
            window.ThreeBytes[i] = 0;
        }
        int characters = 0;
        int position = 0;
        if (starts & 1) {
            while (characters < 8) {
                int next = position + 1;
                while (next < 13 && !(starts >> next & 1))
                    ++next;
                const int length = next - position;
                if (next > 12 || length > 3)
                    break;
                window.Last[2 * characters] = static_cast<std::uint8_t>(next - 1);
                window.Last[2 * characters + 1] = length >= 2 ? static_cast<std::uint8_t>(next - 2) : Zero;
                window.Lead[2 * characters] = static_cast<std::uint8_t>(position);
                window.LeadLow[characters] = length == 1 ? 0x00 : length == 2 ? 0xC2 : 0xE0;
                window.LeadHigh[characters] = length == 1 ? 0x7F : length == 2 ? 0xDF : 0xEF;
                window.ThreeBytes[characters] = length == 3 ? 0xF000 : 0;
                ++characters;
                position = next;
            }
        }
        windows.Characters[starts] = static_cast<std::uint8_t>(characters);
        windows.Bytes[starts] = static_cast<std::uint8_t>(position);
    }
    return windows;
}

// In read-only data: a process pays only for the pages it reads, and nothing at start-up.
constexpr TUtf8Windows Windows = BuildWindows();

} // namespace

const TUtf8Windows& Utf8Windows()
{
    return Windows;
}

} // namespace lmviconv
