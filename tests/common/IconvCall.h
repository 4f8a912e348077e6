#pragma once

// The reference for the fast path's converters: one call of the C library's iconv over buffers
// the caller made, its stop told as the converters tell theirs. Header-only, for the tests that
// build the fast path's sources in.

#include "libiconv/FastTranscoder.h"

#include <cerrno>
#include <cstddef>
#include <iconv.h>

namespace lmvtest {

// One iconv call from From to To over the InSize bytes at In, into the Room bytes at Out: In and
// Out are moved past what it took and wrote. A full output is OutputFull; any other failure is
// Unusual.
inline lmviconv::TTranscodeStop IconvCall(const char* From, const char* To, const unsigned char*& In, std::size_t InSize,
                                          unsigned char*& Out, std::size_t Room)
{
    const iconv_t cd = iconv_open(To, From);
    char* inChars = reinterpret_cast<char*>(const_cast<unsigned char*>(In));
    char* outChars = reinterpret_cast<char*>(Out);
    std::size_t inLeft = InSize;
    std::size_t outLeft = Room;
    errno = 0;
    lmviconv::TTranscodeStop stop = lmviconv::TTranscodeStop::Done;
    if (iconv(cd, &inChars, &inLeft, &outChars, &outLeft) == static_cast<std::size_t>(-1))
        stop = errno == E2BIG ? lmviconv::TTranscodeStop::OutputFull : lmviconv::TTranscodeStop::Unusual;
    iconv_close(cd);
    In = reinterpret_cast<const unsigned char*>(inChars);
    Out = reinterpret_cast<unsigned char*>(outChars);
    return stop;
}

} // namespace lmvtest
