#include "libiconv/ByteShuffles.h"

namespace lmviconv {

namespace {

constexpr std::uint8_t Zero = 0x80; // a shuffle index that writes a zero byte

constexpr TByteShuffles BuildShuffles()
{
    TByteShuffles shuffles{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        int expand = 0;
        int keep = 0;
        int units = 0;
        for (int i = 0; i < 16; ++i)
            shuffles.Expand[mask][i] = shuffles.Keep[mask][i] = shuffles.KeepUpper[mask][i] = shuffles.KeepUnits[mask][i] = Zero;
        for (int lane = 0; lane < 8; ++lane) {
            shuffles.Expand[mask][expand++] = static_cast<std::uint8_t>(2 * lane);
            if (mask >> lane & 1) {
                shuffles.Expand[mask][expand++] = static_cast<std::uint8_t>(2 * lane + 1);
                shuffles.KeepUpper[mask][keep] = static_cast<std::uint8_t>(8 + lane);
                shuffles.Keep[mask][keep++] = static_cast<std::uint8_t>(lane);
                shuffles.KeepUnits[mask][units++] = static_cast<std::uint8_t>(2 * lane);
                shuffles.KeepUnits[mask][units++] = static_cast<std::uint8_t>(2 * lane + 1);
            }
        }
    }
    return shuffles;
}

// In read-only data: a process pays only for the pages it reads, and nothing at start-up.
constexpr TByteShuffles Shuffles = BuildShuffles();

} // namespace

const TByteShuffles& ByteShuffles()
{
    return Shuffles;
}

} // namespace lmviconv
