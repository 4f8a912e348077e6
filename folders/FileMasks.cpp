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
    }
}

bool TFileMasks::Matches(const std::string& Name) const
{
    if (MatchesAll)
        return true;
    for (const std::string& pattern : Patterns)
        if (::fnmatch(pattern.c_str(), Name.c_str(), FNM_CASEFOLD) == 0)
            return true;
    return false;
}
