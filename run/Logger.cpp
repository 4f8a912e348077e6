#include "run/Logger.h"

#include <algorithm>
#include <utility>

namespace {

// 1 for a control character, else 0, without a branch: a scan of a whole line then vectorises.
unsigned char ControlBit(unsigned char c) noexcept
{
    return static_cast<unsigned char>((c < 0x20) | (c == 0x7F));
}

// Control characters after the line's own leading tabs, which only names bring in, are shown
// escaped: no name can break a line or pass for one of the log's own. Other lines stay as they are.
std::string Escaped(std::string Text)
{
    const std::size_t start = std::min(Text.find_first_not_of('\t'), Text.size());
    // Every line passes here and almost none holds one: one pass without an early exit.
    unsigned char control = 0;
    for (std::size_t i = start; i < Text.size(); ++i)
        control |= ControlBit(static_cast<unsigned char>(Text[i]));
    if (control == 0)
        return Text;
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string line = Text.substr(0, start);
    for (std::size_t i = start; i < Text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Text[i]);
        if (ControlBit(c) == 0)
            line += static_cast<char>(c);
        else if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else if (c == '\t')
            line += "\\t";
        else
            line.append("\\x").append(1, hex[c >> 4]).append(1, hex[c & 15]);
    }
    return line;
}

} // namespace

void TLogger::Add(std::string Text)
{
    Lines.Add(Escaped(std::move(Text)));
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
