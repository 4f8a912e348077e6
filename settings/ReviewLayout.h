#pragma once

#include <cstdint>
#include <vector>

class TQuoteIniFile;

// The Review window's size and column widths, kept once the window has been used.
struct TReviewLayout {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::int32_t> ColumnWidths;

    bool Known() const { return Width > 0 && Height > 0; }
};

// The "Review" section, written after every other section and only once the window was used,
// so a settings file written before stays the start of one written after.
TReviewLayout ReadReviewLayout(const TQuoteIniFile& File);
void WriteReviewLayout(TQuoteIniFile& File, const TReviewLayout& Layout);
