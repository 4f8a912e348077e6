#include "folders/FileMasks.h"

#include "util/Exception.h"

#include <fnmatch.h>

namespace {

constexpr const char* Blanks = " \t";

std::vector<std::string> SplitMasks(const std::string& Text)
{
    std::vector<std::string> masks;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = Text.find(';', start);
        std::string mask = Text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::size_t first = mask.find_first_not_of(Blanks);
        mask = first == std::string::npos ? std::string()
                                          : mask.substr(first, mask.find_last_not_of(Blanks) - first + 1);
        masks.push_back(std::move(mask));
        if (end == std::string::npos)
            return masks;
        start = end + 1;
    }
}

} // namespace

std::string TFileMasks::Check(const std::string& Text, bool AllowEmpty)
{
    if (Text.find_first_not_of(Blanks) == std::string::npos) {
        if (Text.empty() && AllowEmpty)
            return {};
        return Text.empty() ? "Enter at least one name mask (such as *.txt)"
                            : "A name mask cannot be only blanks";
    }
    for (const std::string& mask : SplitMasks(Text))
        if (mask.empty())
            return "Empty name mask: remove the extra \";\" or put a mask between the separators";
    return {};
}

TFileMasks::TFileMasks(const std::string& Text, bool AllowEmpty)
{
    if (const std::string message = Check(Text, AllowEmpty); !message.empty())
        throw Exception(message + " (" + Text + ")");
    if (Text.empty())
        return;
    for (const std::string& mask : SplitMasks(Text)) {
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
