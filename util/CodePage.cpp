#include "util/CodePage.h"

#include "util/StringList.h"

#include <langinfo.h>

namespace {

// Decimal digits only, at most a 16-bit number as code pages are; 0 otherwise.
unsigned Number(std::string_view Digits) noexcept
{
    if (Digits.empty() || Digits.size() > 5)
        return 0;
    unsigned value = 0;
    for (const char c : Digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 65535 ? value : 0;
}

bool StartsWithText(std::string_view Text, std::string_view Prefix) noexcept
{
    return Text.size() > Prefix.size() && SameText(Text.substr(0, Prefix.size()), Prefix);
}

} // namespace

unsigned CodePageOfCharset(std::string_view Name) noexcept
{
    static constexpr struct {
        std::string_view Name;
        unsigned CodePage;
    } known[] = {{"UTF-8", 65001},  {"ANSI_X3.4-1968", 20127}, {"KOI8-R", 20866}, {"KOI8-U", 21866},
                 {"EUC-JP", 20932}, {"SHIFT_JIS", 932},        {"GBK", 936},      {"GB18030", 54936},
                 {"BIG5", 950},     {"EUC-KR", 51949}};
    for (const auto& entry : known)
        if (SameText(Name, entry.Name))
            return entry.CodePage;
    if (StartsWithText(Name, "ISO-8859-")) {
        const unsigned part = Number(Name.substr(9));
        return part >= 1 && part <= 16 ? 28590 + part : 0;
    }
    if (StartsWithText(Name, "CP"))
        return Number(Name.substr(2));
    return 0;
}

unsigned CodePageOfLocale() noexcept
{
    const char* codeset = nl_langinfo(CODESET);
    return codeset ? CodePageOfCharset(codeset) : 0;
}
