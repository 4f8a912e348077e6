#include "folders/FileMasks.h"

#include "util/Exception.h"
#include "util/NameMasks.h"

#include <fnmatch.h>

TFileMasks::TFileMasks(const std::string& Text, bool AllowEmpty)
{
    if (const std::string message = CheckNameMasks(Text, AllowEmpty); !message.empty())
        throw Exception(message + " (" + Text + ")");
    if (Text.empty())
        return;
    for (const std::string& mask : SplitNameMasks(Text)) {
        if (mask == "*")
            MatchesAll = true;
        std::string pattern;
        for (const char c : mask) {
            // Only the ASCII specials: a byte of a multibyte character must stay as it is.
            if (c == '\\' || c == '[' || c == ']')
                pattern += '\\';
            pattern += c;
        }
        Patterns.push_back(std::move(pattern));
        std::size_t lead = 0;
        const auto literal = [](char c) {
            return static_cast<unsigned char>(c) < 0x80 && c != '*' && c != '?' && !(c >= 'a' && c <= 'z') &&
                   !(c >= 'A' && c <= 'Z');
        };
        while (lead < mask.size() && literal(mask[lead]))
            ++lead;
        Leads.push_back(mask.substr(0, lead));
    }
}

bool TFileMasks::Matches(const std::string& Name) const
{
    if (MatchesAll)
        return true;
    for (std::size_t i = 0; i < Patterns.size(); ++i)
        if (Name.starts_with(Leads[i]) && ::fnmatch(Patterns[i].c_str(), Name.c_str(), FNM_CASEFOLD) == 0)
            return true;
    return false;
}
