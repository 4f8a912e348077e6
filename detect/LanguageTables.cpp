#include "detect/LanguageTables.h"

#include <algorithm>

namespace LanguageTables {

namespace {

#include "detect/LanguageTables.inc"

} // namespace

std::span<const TLanguageTable> Languages()
{
    return Languages_;
}

std::span<const TEncodingLanguages> Encodings()
{
    return Encodings_;
}

int CostScale()
{
    return CostScale_;
}

std::uint8_t StrangerCost(const TLanguageTable& Table, char32_t Code)
{
    const auto found = std::lower_bound(Table.Strangers.begin(), Table.Strangers.end(), Code,
                                        [](const TStranger& s, char32_t c) { return s.Code < c; });
    return found != Table.Strangers.end() && found->Code == Code ? found->Cost : Table.Unseen;
}

std::uint8_t SymbolOf(const TLanguageTable& Table, char32_t Code, bool IsSign)
{
    const auto found = std::lower_bound(Table.Symbols.begin(), Table.Symbols.end(), Code,
                                        [](const TLanguageSymbol& s, char32_t c) { return s.Code < c; });
    if (found != Table.Symbols.end() && found->Code == Code)
        return found->Symbol;
    return IsSign ? Sign : Other;
}

} // namespace LanguageTables
