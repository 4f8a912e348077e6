#include "detect/EncodingGroups.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitGroup(std::string_view Line)
{
    std::vector<std::string> names(1);
    bool quoted = false;
    for (std::size_t i = 0; i < Line.size(); ++i) {
        const char c = Line[i];
        if (quoted) {
            if (c != '"')
                names.back() += c;
            else if (i + 1 < Line.size() && Line[i + 1] == '"')
                names.back() += Line[++i];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            names.emplace_back();
        } else {
            names.back() += c;
        }
    }
    return names;
}

} // namespace

bool SameEncodingGroup(const TStringList& Groups, std::string_view A, std::string_view B)
{
    if (SameText(A, B))
        return true;
    for (const std::string& line : Groups) {
        bool hasA = false, hasB = false;
        for (const std::string& name : SplitGroup(line)) {
            hasA = hasA || SameText(name, A);
            hasB = hasB || SameText(name, B);
        }
        if (hasA || hasB)
            return hasA && hasB;
    }
    return false;
}
