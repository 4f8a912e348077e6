#include "run/Logger.h"

#include <algorithm>

namespace {

bool IsControl(unsigned char c) noexcept
{
    return c < 0x20 || c == 0x7F;
}

// Control characters after the line's own leading tabs, which only names bring in, are shown
// escaped: no name can break a line or pass for one of the log's own. Other lines stay as they are.
std::string Escaped(const std::string& Text)
{
    const std::size_t start = std::min(Text.find_first_not_of('\t'), Text.size());
    if (std::none_of(Text.begin() + static_cast<std::ptrdiff_t>(start), Text.end(),
                     [](char c) { return IsControl(static_cast<unsigned char>(c)); }))
        return Text;
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string line = Text.substr(0, start);
    for (std::size_t i = start; i < Text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Text[i]);
        if (!IsControl(c))
            line += static_cast<char>(c);
        else if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else if (c == '\t')
            line += "\\t";
        else
            line.append("\\x").append(1, Hex[c >> 4]).append(1, Hex[c & 15]);
    }
    return line;
}

} // namespace

void TLogger::Add(const std::string& Text)
{
    Lines.Add(Escaped(Text));
}

void TLogger::AddError(const std::string& Text)
{
    Lines.Add(ErrorPrefix + Escaped(Text));
    ++ErrorCount;
}

void TLogger::AddWarning(const std::string& Text)
{
    Lines.Add(WarningPrefix + Escaped(Text));
    ++WarningCount;
}
