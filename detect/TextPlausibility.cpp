#include "detect/TextPlausibility.h"

#include "detect/DetectionLibraries.h"

namespace {

bool IsBinaryCharacter(char32_t c)
{
    if (c < 0x20)
        return !(c == U'\t' || c == U'\n' || c == U'\v' || c == U'\f' || c == U'\r' || c == 0x1A || c == 0x1B ||
                 c == 0x0E || c == 0x0F);
    if (c == 0x7F)
        return true;
    if (c > 0x10FFFF || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE)
        return true;
    return false;
}

// Signs that real text outside ASCII seldom holds.
bool IsOddSign(char32_t c)
{
    if (c < 0x80)
        return false;
    if (c >= 0x80 && c <= 0x9F)
        return true; // C1 controls: an 8-bit code page read as ISO-8859
    switch (c) {
    case U'\u00A4': case U'\u00A6': case U'\u00A8': case U'\u00AF': case U'\u00B4': case U'\u00B6':
    case U'\u00B8': case U'\u00B9': case U'\u00B2': case U'\u00B3': case U'\uFFFD':
        return true;
    case U'\u20AC': case U'\u00A3': case U'\u00A5': case U'\u00A2': case U'\u00A9': case U'\u00AE':
    case U'\u00B0': case U'\u00A7': case U'\u2122': case U'\u00D7':
        return false;
    default:
        break;
    }
    switch (DetectionLibraries().CharType(static_cast<UChar32>(c))) {
    case U_OTHER_SYMBOL:     // box drawing, blocks, dingbats
    case U_MATH_SYMBOL:
    case U_MODIFIER_SYMBOL:
    case U_CURRENCY_SYMBOL:
    case U_OTHER_NUMBER:     // superscripts and fractions
    case U_PRIVATE_USE_CHAR:
    case U_UNASSIGNED:
    case U_SURROGATE:
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
        return true;
    default:
        return false;
    }
}

// Signs that no text in a language's own letters sets among them: C1 controls, box drawing and
// blocks, private use, unassigned code points. One weighs as much as several lesser signs.
constexpr std::size_t StrongSignWeight = 4;

bool IsStrongSign(char32_t c)
{
    if ((c >= 0x80 && c <= 0x9F) || (c >= 0x2500 && c <= 0x259F) || c == 0xFFFD)
        return true;
    const auto type = DetectionLibraries().CharType(static_cast<UChar32>(c));
    return type == U_PRIVATE_USE_CHAR || type == U_UNASSIGNED;
}

// Marks that do sit inside words: apostrophes, hyphens, the middle dot of Catalan.
bool IsWordJoiner(char32_t c)
{
    return c == U'\u2019' || c == U'\u00B7' || c == U'\u2010' || c == U'\u2011' || c == U'\'' || c == U'-';
}

// Chinese and Japanese write their commas, stops, colons and brackets between letters, with no
// space either side.
bool IsEastAsianPunctuation(char32_t c)
{
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE30 && c <= 0xFE6F) || (c >= 0xFF01 && c <= 0xFF65);
}

bool IsLetter(char32_t c)
{
    return DetectionLibraries().IsAlpha(static_cast<UChar32>(c)) != 0;
}

// Closing brackets and quotes, but not the guillemets, which German writes the other way round.
bool IsClosingQuote(char32_t c)
{
    const auto type = DetectionLibraries().CharType(static_cast<UChar32>(c));
    return c >= 0x80 && c != U'\u00BB' && c != U'\u00AB' && (type == U_END_PUNCTUATION || type == U_FINAL_PUNCTUATION);
}

UScriptCode ScriptOf(char32_t c)
{
    UErrorCode status = U_ZERO_ERROR;
    const UScriptCode script = DetectionLibraries().GetScript(static_cast<UChar32>(c), &status);
    return U_SUCCESS(status) ? script : USCRIPT_INVALID_CODE;
}

bool IsSpecificScript(UScriptCode Script)
{
    return Script != USCRIPT_COMMON && Script != USCRIPT_INHERITED && Script != USCRIPT_INVALID_CODE;
}

// Han, Hiragana, Katakana and Hangul mix in Japanese and Korean words.
bool IsEastAsian(UScriptCode Script)
{
    return Script == USCRIPT_HAN || Script == USCRIPT_HIRAGANA || Script == USCRIPT_KATAKANA ||
           Script == USCRIPT_HANGUL;
}

} // namespace

TPlausibility RatePlausibility(std::u32string_view Text, TDecodedFrom From)
{
    TPlausibility rate;
    char32_t previous = U' ';
    UScriptCode previousScript = USCRIPT_COMMON;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char32_t c = Text[i];
        if (IsBinaryCharacter(c)) {
            rate.Binary = true;
            return rate;
        }
        if (c < 0x80) {
            previous = c;
            previousScript = USCRIPT_LATIN;
            if (!IsLetter(c))
                previousScript = USCRIPT_COMMON;
            continue;
        }
        ++rate.NonAscii;
        const bool letter = IsLetter(c);
        if (IsOddSign(c)) {
            rate.Odd += IsStrongSign(c) ? StrongSignWeight : 1;
        } else if (letter) {
            const auto code = static_cast<UChar32>(c);
            const UScriptCode script = ScriptOf(c);
            if (DetectionLibraries().IsUpper(code) && DetectionLibraries().IsLower(static_cast<UChar32>(previous)))
                ++rate.Odd;
            // Latin writing puts an accented letter among plain ones; three in a row are the
            // lead and trail bytes of a multibyte text read as an 8-bit one.
            else if (script == USCRIPT_LATIN && previous >= 0x80 && IsLetter(previous) && i + 1 < Text.size() &&
                     Text[i + 1] >= 0x80 && IsLetter(Text[i + 1]))
                ++rate.Odd;
            const bool typedLatin = From == TDecodedFrom::Unicode && previous < 0x80 && IsEastAsian(script);
            if (IsLetter(previous) && IsSpecificScript(script) && IsSpecificScript(previousScript) &&
                script != previousScript && !(IsEastAsian(script) && IsEastAsian(previousScript)) && !typedLatin)
                ++rate.Odd;
            previousScript = script;
        } else if (IsEastAsianPunctuation(c)) {
            // between letters is where it belongs
        } else if (!IsWordJoiner(c) && DetectionLibraries().CharType(static_cast<UChar32>(c)) != U_NON_SPACING_MARK &&
                   IsLetter(previous) && i + 1 < Text.size() && IsLetter(Text[i + 1])) {
            ++rate.Odd; // a sign inside a word
        } else if (IsLetter(previous) && DetectionLibraries().CharType(static_cast<UChar32>(c)) == U_START_PUNCTUATION) {
            ++rate.Odd; // an opening bracket or low quote right after a letter
        } else if (c == U'\u00A0' && (previous == U' ' || previous == U'\n' ||
                                        (i + 1 < Text.size() && (Text[i + 1] == U' ' || Text[i + 1] == U'\n')))) {
            ++rate.Odd; // a no-break space beside a plain one breaks nothing: it is another sign
        } else if (IsClosingQuote(c) && !IsLetter(previous) && i + 1 < Text.size() && IsLetter(Text[i + 1])) {
            ++rate.Odd; // a closing quote that opens a word
        }
        if (!letter)
            previousScript = USCRIPT_COMMON;
        previous = c;
    }
    return rate;
}

bool OnlyLoneLetters(std::u32string_view Text)
{
    bool any = false;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char32_t c = Text[i];
        if (c < 0x80 || !IsLetter(c))
            continue;
        if ((i > 0 && IsLetter(Text[i - 1])) ||
            (i + 1 < Text.size() && IsLetter(Text[i + 1])))
            return false;
        any = true;
    }
    return any;
}
