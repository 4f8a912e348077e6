#include "util/NameMasks.h"

namespace {

constexpr const char* Blanks = " \t";

} // namespace

std::vector<std::string> SplitNameMasks(const std::string& Text)
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

std::string CheckNameMasks(const std::string& Text, bool AllowEmpty)
{
    if (Text.find_first_not_of(Blanks) == std::string::npos) {
        if (Text.empty() && AllowEmpty)
            return {};
        return Text.empty() ? "Enter at least one name mask (such as *.txt)"
                            : "A name mask cannot be only blanks";
    }
    for (const std::string& mask : SplitNameMasks(Text))
        if (mask.empty())
            return "Empty name mask: remove the extra \";\" or put a mask between the separators";
    return {};
}
