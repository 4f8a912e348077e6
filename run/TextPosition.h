#pragma once

#include <cstdint>

// Line and column, both from 1, of the next character of a text fed one character at a time. A
// line ends at LF, CR LF or a lone CR; a signature at the very start is no character of the text.
class TTextPosition {
public:
    void Advance(char32_t Code) noexcept;

    std::uint64_t Line() const noexcept { return LineNumber; }
    std::uint64_t Column() const noexcept { return ColumnNumber; }

private:
    std::uint64_t LineNumber = 1;
    std::uint64_t ColumnNumber = 1;
    bool AfterCr = false;
    bool AtStart = true;
};
