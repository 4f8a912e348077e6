#pragma once

#include <cstdint>

enum TUtfSpec : std::int32_t {
    usDefault = 0,
    usWithoutBom = 1,
    usWithBom = 2,   // UTF-8 only
    usLeWithBom = 3, // UTF-16 and UTF-32 only
    usBeWithBom = 4, // UTF-16 and UTF-32 only
};

// Signature (BOM) and byte order of UTF-8, UTF-16 and UTF-32 output.
struct TConvertSpecs {
    std::int32_t Utf8 = 0;
    std::int32_t Utf16 = 0;
    std::int32_t Utf32 = 0;

    bool operator==(const TConvertSpecs&) const = default;
};

inline TConvertSpecs DefaultConvertSpecs()
{
    return TConvertSpecs{usDefault, usDefault, usDefault};
}
