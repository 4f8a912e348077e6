#pragma once

#include <string>
#include <vector>

// A list of name masks separated by ';', as typed in "File names:" and "Skip names:", each with
// the blanks around it dropped.
std::vector<std::string> SplitNameMasks(const std::string& Text);

// The message for a list of masks that cannot be used, empty when it can. An empty list passes
// only when AllowEmpty (it then matches nothing).
std::string CheckNameMasks(const std::string& Text, bool AllowEmpty);
