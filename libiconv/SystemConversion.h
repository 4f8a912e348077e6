#pragma once

#include "libiconv/CodeSpaceGuard.h"
#include "libiconv/PairDecoder.h"

#include <cstddef>
#include <iconv.h>
#include <locale.h>

namespace lmviconv {

// One conversion through the C library's iconv, with its faults worked around: the JIS X 0213
// decoders that stall (TPairDecoder), values above U+10FFFF taken as characters
// (TCodeSpaceGuard), and transliteration that follows the caller's locale.
class TSystemConversion {
public:
    TSystemConversion() = default;
    ~TSystemConversion() { Close(); }
    TSystemConversion(const TSystemConversion&) = delete;
    TSystemConversion& operator=(const TSystemConversion&) = delete;

    // As iconv_open; Ignore: ToCode asks for "IGNORE".
    bool Open(const char* ToCode, const char* FromCode, bool Ignore) noexcept;
    // As iconv.
    std::size_t Convert(char** InBuf, std::size_t* InLeft, char** OutBuf, std::size_t* OutLeft) noexcept;
    int Close() noexcept;

private:
    std::size_t Step(char** InBuf, std::size_t* InLeft, char** OutBuf, std::size_t* OutLeft) noexcept;

    iconv_t Handle = reinterpret_cast<iconv_t>(-1);
    TPairDecoder Pairs;
    bool UsePairs = false;
    bool Ignore = false;
    TCodeSpaceGuard Guard;
    // The locale the C library's transliteration reads its tables from, whatever the caller's.
    locale_t Locale = static_cast<locale_t>(nullptr);
};

} // namespace lmviconv
