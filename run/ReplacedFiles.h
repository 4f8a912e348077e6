#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>

// The files a run has replaced, by device and inode, whatever name leads to them: a file named
// twice would otherwise be converted again from its converted text.
class TReplacedFiles {
public:
    // True when Name leads to a file added before; false when it cannot be found.
    bool Contains(const std::string& Name) const;
    // Remembers the file Name leads to; a name that cannot be found adds nothing.
    void Add(const std::string& Name);

private:
    std::set<std::pair<std::uint64_t, std::uint64_t>> Files;
};
