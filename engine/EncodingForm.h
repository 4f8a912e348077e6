#pragma once

#include <cstddef>
#include <string_view>

// The shape of the encodings whose bytes the engine can step through itself, by the names the
// C library gives them (letter case ignored). Everything else is Other.
enum class TEncodingForm { Other, Utf8, SingleByte, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Utf16, Utf32 };

TEncodingForm EncodingForm(std::string_view Name) noexcept;

// A source form whose descriptor, once reset, holds nothing that a new one would not: the plain
// UTF-16 and UTF-32 keep the byte order their first mark chose, and Other is not known.
bool KeepsNoState(TEncodingForm Form) noexcept;

// A target form that writes a byte order mark before its first character.
bool WritesMark(TEncodingForm Form) noexcept;

// How many bytes the character at the start of Data claims in a form that KeepsNoState (at least
// 1, at most Size); Size must not be 0.
std::size_t FirstCharacterLength(TEncodingForm Form, const unsigned char* Data, std::size_t Size) noexcept;
