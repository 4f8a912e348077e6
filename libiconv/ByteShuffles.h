#pragma once

#include <cstdint>

namespace lmviconv {

// Byte shuffles for eight 16-bit lanes, one per 8-bit mask, built at compile time.
struct TByteShuffles {
    // Each lane's low byte, and its high byte too where the mask has the lane's bit.
    std::uint8_t Expand[256][16];
    // The bytes (of eight) whose bit the mask has, packed to the front.
    std::uint8_t Keep[256][16];
    // The same for the upper eight bytes of sixteen.
    std::uint8_t KeepUpper[256][16];
    // The 16-bit lanes (of eight) whose bit the mask has, packed to the front.
    std::uint8_t KeepUnits[256][16];
};

const TByteShuffles& ByteShuffles();

} // namespace lmviconv
