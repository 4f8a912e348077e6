#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// How the letters and signs of each language follow one another, learned by
// scripts/language_tables.py from the translated texts of Debian's packages (the generated
// detect/LanguageTables.inc), and the 8-bit encodings each language is written in. Constant data
// compiled into the program: nothing to load, one copy for every detector.
//
// A text is a chain of symbols: 0 a boundary (any ASCII character but a letter or digit), 1
// another character (a letter foreign to the language, a control), 2 another sign (punctuation, a
// symbol, a number or a space outside ASCII), 3 an ASCII digit, 4 to 29 the ASCII letters a to z,
// then the language's own letters and signs, upper and lower case alike.
namespace LanguageTables {

enum : std::uint8_t { Boundary = 0, Other = 1, Sign = 2, Digit = 3, FirstLetter = 4 };

struct TLanguageSymbol {
    char32_t Code;
    std::uint8_t Symbol;
};

struct TStranger {
    char32_t Code;
    std::uint8_t Cost;
};

struct TLanguageTable {
    std::string_view Name;
    std::size_t Size; // symbols
    // The language's own characters past ASCII, sorted by code point.
    std::span<const TLanguageSymbol> Symbols;
    // -ln P(symbol) and -ln P(next | symbol) (row symbol, column next), in 1/CostScale nat.
    const std::uint8_t* Singles;
    const std::uint8_t* Pairs;
    // What a character costs on average in the language's own texts.
    std::uint8_t Typical;
    // What a character outside the language's own symbols costs on top of its symbol (Other or
    // Sign): -ln of its share among the characters of its kind past ASCII in the languages of the
    // same script, sorted by code point; Unseen for one they never hold.
    std::span<const TStranger> Strangers;
    std::uint8_t Unseen;
};

struct TEncodingLanguages {
    std::string_view Encoding;  // the engine's name
    std::string_view Languages; // names from the language tables, separated by spaces
};

std::span<const TLanguageTable> Languages();
// Every 8-bit encoding of the tables, in the order that names a reading: of two encodings that
// decode a text alike, the first (the one Windows writes) names it.
std::span<const TEncodingLanguages> Encodings();
// Costs are in 1/CostScale nat.
int CostScale();

// The cost of Code as a stranger to the language (see TLanguageTable::Strangers).
std::uint8_t StrangerCost(const TLanguageTable& Table, char32_t Code);

// The table's symbol for a character past ASCII (Other or Sign when it has none of its own):
// IsSign tells whether the character is punctuation, a symbol, a number or a space.
std::uint8_t SymbolOf(const TLanguageTable& Table, char32_t Code, bool IsSign);

} // namespace LanguageTables
