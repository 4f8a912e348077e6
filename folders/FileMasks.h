#pragma once

#include <string>
#include <vector>

// A list of name masks separated by ';', as typed in "File names:" and "Skip names:". A mask
// matches a whole name without regard to letter case; '*' stands for any run of characters and
// '?' for one character, every other character for itself. Blanks around a mask are dropped.
class TFileMasks {
public:
    // Raises Exception with CheckNameMasks's message.
    TFileMasks(const std::string& Text, bool AllowEmpty);

    bool Matches(const std::string& Name) const;

private:
    bool MatchesAll = false;
    // Each mask with fnmatch's other specials escaped, ready for fnmatch.
    std::vector<std::string> Patterns;
    // The bytes each mask starts with that match only themselves (ASCII other than letters and
    // wildcards): a name that starts otherwise is no match, told without fnmatch, which widens
    // both texts first in a multibyte locale (".*" is asked of every name a walk finds).
    std::vector<std::string> Leads;
};
