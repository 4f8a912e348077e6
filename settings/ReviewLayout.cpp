#include "settings/ReviewLayout.h"

#include "settings/QuoteIniFile.h"

#include <string>

namespace {

constexpr const char* Section = "Review";
constexpr int Columns = 4;

std::string ColumnKey(int Column)
{
    return "Column" + std::to_string(Column + 1);
}

} // namespace

TReviewLayout ReadReviewLayout(const TQuoteIniFile& File)
{
    TReviewLayout Layout;
    Layout.Width = File.ReadInteger(Section, "Width", 0);
    Layout.Height = File.ReadInteger(Section, "Height", 0);
    for (int i = 0; i < Columns; ++i) {
        const std::int32_t Width = File.ReadInteger(Section, ColumnKey(i), 0);
        if (Width <= 0)
            break;
        Layout.ColumnWidths.push_back(Width);
    }
    if (!Layout.Known())
        Layout = {};
    return Layout;
}

void WriteReviewLayout(TQuoteIniFile& File, const TReviewLayout& Layout)
{
    if (!Layout.Known())
        return;
    File.WriteInteger(Section, "Width", Layout.Width);
    File.WriteInteger(Section, "Height", Layout.Height);
    for (std::size_t i = 0; i < Layout.ColumnWidths.size() && i < Columns; ++i)
        File.WriteInteger(Section, ColumnKey(static_cast<int>(i)), Layout.ColumnWidths[i]);
}
