#pragma once

#include <string_view>

// The Windows code-page number that stands for a character set, as nl_langinfo(CODESET) names
// it: UTF-8 65001, ANSI_X3.4-1968 20127, ISO-8859-n 28590 + n, CPnnnn nnnn, KOI8-R 20866,
// KOI8-U 21866, EUC-JP 20932, SHIFT_JIS 932, GBK 936, GB18030 54936, BIG5 950, EUC-KR 51949.
// Letter case does not matter; 0 for any other name.
unsigned CodePageOfCharset(std::string_view Name) noexcept;

// The number of the current locale's character set (LC_CTYPE). It serves as both the ANSI and
// the OEM code page: the terminal uses the locale's character set too.
unsigned CodePageOfLocale() noexcept;
