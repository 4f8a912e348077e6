#include "libiconv/UnicodeFormNames.h"

#include <string>
#include <string_view>

namespace lmviconv {

namespace {

struct TFormName {
    const char* Name;
    TUnicodeForm Form;
};

// The C library's built-in aliases and those of its module configuration for these encodings.
const TFormName FormNames[] = {
    {"UTF-8", TUnicodeForm::Utf8},
    {"UTF8", TUnicodeForm::Utf8},
    {"ISO-IR-193", TUnicodeForm::Utf8},
    {"OSF05010001", TUnicodeForm::Utf8},
    {"UTF-16", TUnicodeForm::Utf16},
    {"UTF16", TUnicodeForm::Utf16},
    {"UTF-16LE", TUnicodeForm::Utf16Le},
    {"UTF16LE", TUnicodeForm::Utf16Le},
    {"UTF-16BE", TUnicodeForm::Utf16Be},
    {"UTF16BE", TUnicodeForm::Utf16Be},
    {"UTF-32", TUnicodeForm::Utf32},
    {"UTF32", TUnicodeForm::Utf32},
    {"UTF-32LE", TUnicodeForm::Utf32Le},
    {"UTF32LE", TUnicodeForm::Utf32Le},
    {"UTF-32BE", TUnicodeForm::Utf32Be},
    {"UTF32BE", TUnicodeForm::Utf32Be},
    {"ISO-8859-1", TUnicodeForm::Latin1},
    {"ISO-IR-100", TUnicodeForm::Latin1},
    {"ISO_8859-1:1987", TUnicodeForm::Latin1},
    {"ISO_8859-1", TUnicodeForm::Latin1},
    {"ISO8859-1", TUnicodeForm::Latin1},
    {"ISO88591", TUnicodeForm::Latin1},
    {"LATIN1", TUnicodeForm::Latin1},
    {"L1", TUnicodeForm::Latin1},
    {"IBM819", TUnicodeForm::Latin1},
    {"CP819", TUnicodeForm::Latin1},
    {"CSISOLATIN1", TUnicodeForm::Latin1},
    {"8859_1", TUnicodeForm::Latin1},
    {"OSF00010001", TUnicodeForm::Latin1},
    {"ANSI_X3.4-1968", TUnicodeForm::Ascii},
    {"ANSI_X3.4", TUnicodeForm::Ascii},
    {"ISO-IR-6", TUnicodeForm::Ascii},
    {"ANSI_X3.4-1986", TUnicodeForm::Ascii},
    {"ISO_646.IRV:1991", TUnicodeForm::Ascii},
    {"ASCII", TUnicodeForm::Ascii},
    {"ISO646-US", TUnicodeForm::Ascii},
    {"US-ASCII", TUnicodeForm::Ascii},
    {"US", TUnicodeForm::Ascii},
    {"IBM367", TUnicodeForm::Ascii},
    {"CP367", TUnicodeForm::Ascii},
    {"CSASCII", TUnicodeForm::Ascii},
    {"OSF00010020", TUnicodeForm::Ascii},
};

std::optional<TUnicodeForm> Lookup(std::string_view Name)
{
    for (const TFormName& entry : FormNames)
        if (Name == entry.Name)
            return entry.Form;
    return std::nullopt;
}

} // namespace

namespace {

// The code in capitals, its name (before the first slash) and the part after that slash. The
// views point into Upper: not to be copied.
struct TCodeParts {
    std::string Upper;
    std::string_view Name;
    std::string_view Part;
    bool HasSecondSlash = false;
};

bool SplitCode(const char* Code, TCodeParts& Parts)
{
    Parts.Upper = Code;
    for (char& c : Parts.Upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const std::string_view code(Parts.Upper);
    const std::size_t slash = code.find('/');
    Parts.Name = code.substr(0, slash);
    if (Parts.Name.empty() || Parts.Name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.:") != std::string_view::npos)
        return false;
    if (slash != std::string_view::npos) {
        const std::string_view rest = code.substr(slash + 1);
        const std::size_t second = rest.find('/');
        Parts.Part = rest.substr(0, second);
        Parts.HasSecondSlash = second != std::string_view::npos;
    }
    return true;
}

} // namespace

std::optional<TUnicodeForm> UnicodeFormOf(const char* Code)
{
    TCodeParts parts;
    if (!SplitCode(Code, parts))
        return std::nullopt;
    // "NAME", "NAME/" or "NAME//suffixes"; the long form "ISO-10646/UTF8/" also names UTF-8.
    if (parts.Part.empty())
        return Lookup(parts.Name);
    if (parts.HasSecondSlash && parts.Name == "ISO-10646" && (parts.Part == "UTF8" || parts.Part == "UTF-8"))
        return TUnicodeForm::Utf8;
    return std::nullopt;
}

std::optional<std::string> CharsetNameOf(const char* Code)
{
    TCodeParts parts;
    if (!SplitCode(Code, parts) || !parts.Part.empty())
        return std::nullopt;
    return std::string(parts.Name);
}

} // namespace lmviconv
