// The button-list parser: any text parses, and the captions it gives, each quoted (quotes
// doubled) and joined by commas, parse back to the same captions.

#include "util/ButtonList.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Quote(const std::string& Caption)
{
    std::string quoted = "\"";
    for (const char c : Caption) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Captions are stepped by whole characters of the locale's set; LUMIVA_FUZZ_LOCALE may name
    // a double-byte one (zh_CN.GBK).
    const char* locale = std::getenv("LUMIVA_FUZZ_LOCALE");
    if (!std::setlocale(LC_ALL, locale ? locale : "C.UTF-8"))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    TStringList buttons;
    ParseButtonList(text, buttons);

    std::string joined;
    for (std::size_t i = 0; i < buttons.Count(); ++i) {
        if (buttons[i].find('\0') != std::string::npos)
            std::abort(); // a NUL ends the text: no caption can hold one
        joined += (i > 0 ? "," : "") + Quote(buttons[i]);
        TStringList single;
        ParseButtonList(Quote(buttons[i]), single);
        if (single.Count() != 1 || single[0] != buttons[i])
            std::abort();
    }
    TStringList again;
    ParseButtonList(joined, again);
    if (!(again == buttons))
        std::abort();
    return 0;
}
