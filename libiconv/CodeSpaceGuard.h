#pragma once

#include <cstddef>

namespace lmviconv {

// Finds input that the C library decodes to a code point above U+10FFFF. Nothing there is a
// character, yet the C library's UTF-8 decoder takes sequences of up to six bytes and its UCS-4
// decoders take any value up to 0x7FFFFFFF; a target that cannot hold such a value would then
// transliterate or drop it as if it were a character.
class TCodeSpaceGuard {
public:
    // Asks the C library's decoder for FromCode how it reads a few such sequences.
    void Learn(const char* FromCode) noexcept;
    bool Active() const noexcept { return Form != TForm::None; }
    // Where the first such sequence in Data starts; Size when there is none. A sequence cut off
    // by the end of Data does not count yet: the C library reports it incomplete, and the
    // caller comes back with the rest.
    std::size_t FindFirst(const unsigned char* Data, std::size_t Size) const noexcept;
    // The length of the sequence at the start of Data, at most Size.
    std::size_t Length(const unsigned char* Data, std::size_t Size) const noexcept;

private:
    enum class TForm { None, Utf8, Ucs4Big, Ucs4Little };
    TForm Form = TForm::None;
};

} // namespace lmviconv
