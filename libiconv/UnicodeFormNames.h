#pragma once

#include <optional>
#include <string>

namespace lmviconv {

// The encodings that have a fast path. The plain UTF-16 and UTF-32 write a byte order mark and
// read one; the C library settles their byte order on the first bytes of a stream.
enum class TUnicodeForm {
    Utf8,
    Utf16,
    Utf16Le,
    Utf16Be,
    Utf32,
    Utf32Le,
    Utf32Be,
    Latin1,
    Ascii,
    // Not a Unicode form: the other side of a conversion with a legacy encoding.
    Legacy,
};

// The form that a code given to iconv_open names, through the C library's own aliases of these
// encodings, ignoring case and the "//suffix" part. Nothing for any other name, and for spellings
// the C library would first have to clean up: those keep the C library's path.
std::optional<TUnicodeForm> UnicodeFormOf(const char* Code);

// The encoding's name in a code, in capitals, under the same rules; nothing where the C library
// would first have to clean it up.
std::optional<std::string> CharsetNameOf(const char* Code);

} // namespace lmviconv
