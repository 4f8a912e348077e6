#pragma once

#include <cstddef>
#include <string_view>

// How much a decoded text looks like writing rather than the wrong code page's signs. Not a
// language model: it only counts what text in any language rarely holds, so that of two
// decodings of the same bytes the one that reads as letters wins.
struct TPlausibility {
    bool Binary = false;    // control characters, noncharacters: not text at all
    std::size_t Odd = 0;    // signs that text seldom holds, the strongest weighing more
    std::size_t NonAscii = 0;
};

// What the text was decoded from. In a Unicode form every ASCII letter is one the writer typed,
// and Chinese and Japanese set Latin words among their own without a space; in a legacy
// multibyte reading an ASCII letter beside a Han character is as often a trail byte misread.
enum class TDecodedFrom { Legacy, Unicode };

// Counts, over UTF-32 code points: symbols, box drawing and C1 controls; an upper-case letter
// right after a lower-case one; a sign between two letters; two scripts inside one word.
TPlausibility RatePlausibility(std::u32string_view Text, TDecodedFrom From = TDecodedFrom::Legacy);

// Whether every letter past ASCII in Text has no letter on either side, and there is one at least:
// what a code page's bullets, dashes and maths signs become in one that has letters there (• – €
// as Х Ц А, × ÷ as Ś ś), rather than words of a language.
bool OnlyLoneLetters(std::u32string_view Text);
