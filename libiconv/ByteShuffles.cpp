#include "libiconv/ByteShuffles.h"

#include <memory>

namespace lmviconv {

namespace {

constexpr std::uint8_t Zero = 0x80; // a shuffle index that writes a zero byte

std::unique_ptr<TByteShuffles> BuildShuffles()
{
    auto shuffles = std::make_unique<TByteShuffles>();
    for (unsigned mask = 0; mask < 256; ++mask) {
        int expand = 0;
        int keep = 0;
        for (int i = 0; i < 16; ++i)
            shuffles->Expand[mask][i] = shuffles->Keep[mask][i] = Zero;
        for (int lane = 0; lane < 8; ++lane) {
            shuffles->Expand[mask][expand++] = static_cast<std::uint8_t>(2 * lane);
            if (mask >> lane & 1) {
                shuffles->Expand[mask][expand++] = static_cast<std::uint8_t>(2 * lane + 1);
                shuffles->Keep[mask][keep++] = static_cast<std::uint8_t>(lane);
            }
        }
    }
    return shuffles;
}

} // namespace

const TByteShuffles& ByteShuffles()
{
    static const std::unique_ptr<TByteShuffles> shuffles = BuildShuffles();
    return *shuffles;
}

} // namespace lmviconv
