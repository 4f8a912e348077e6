#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The one integer conversion of the program (edit fields, settings, command line): optional
// leading blanks, an optional sign, then decimal digits or a hexadecimal number after "$", "0x"
// or "0X"; nothing may follow. False for anything else and for values outside 32 bits signed
// (a wrapped value would turn a typo into a negative size or position).
bool TryStrToInt(std::string_view Text, std::int32_t& Value) noexcept;

// As TryStrToInt; raises Exception "'<text>' is not a valid integer value" otherwise.
std::int32_t StrToInt(const std::string& Text);
