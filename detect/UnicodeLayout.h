#pragma once

#include <string>
#include <string_view>

// What the bytes alone say about Unicode forms, before any statistics.
namespace UnicodeLayout {

// The encoding a leading signature names ("UTF-8", "UTF-16", "UTF-32"); empty without one. The
// names given are those whose decoders read the signature: glibc's UTF-16 and UTF-32 take the
// byte order from it and drop it, and the engine drops a UTF-8 signature.
std::string SignatureEncoding(std::string_view Sample);

// "UTF-16LE", "UTF-16BE", "UTF-32LE" or "UTF-32BE" when the zero bytes fall where text in that
// form puts them; empty otherwise.
std::string ZeroBytePattern(std::string_view Sample);

enum class TUtf8 { Ascii, Utf8, Invalid };

// True when every byte past 0x80 leads a pair whose second byte is 0x40 to 0xFE but 0x7F, as in
// the double-byte encodings of East Asia (Shift_JIS, GBK, Big5, UHC, EUC); false for nearly every
// 8-bit text, whose words end in a space or a sign. Complete false allows a pair cut by the end.
bool DoubleByteLayout(std::string_view Sample, bool Complete);

// What the bytes say in one pass. Binary: the sample holds control bytes that no 8-bit or
// multibyte text holds (NUL and the like); tab, line breaks, form feed, the escape and shift bytes
// of ISO-2022 and the DOS end of file mark are text. Utf8, when not Binary: strict UTF-8 (no
// overlong forms, no surrogates, nothing past U+10FFFF), where Complete false allows a sequence
// cut by the end of the sample; Invalid when Binary, the pass stopping at the controls.
struct TTextBytes {
    bool Binary = false;
    TUtf8 Utf8 = TUtf8::Invalid;
};
TTextBytes CheckText(std::string_view Sample, bool Complete);

} // namespace UnicodeLayout
