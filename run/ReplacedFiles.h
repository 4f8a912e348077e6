#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

// The files a run has replaced, by device and inode, whatever name leads to them: a file named
// twice would otherwise be converted again from its converted text. Copies share one record, so
// that the jobs of one parallel run see each other's files; any thread may use it.
class TReplacedFiles {
public:
    TReplacedFiles();

    // True when Name leads to a file added before; false when it cannot be found.
    bool Contains(const std::string& Name) const;
    // Remembers the file Name leads to; a name that cannot be found adds nothing.
    void Add(const std::string& Name);

private:
    struct TRecord {
        std::mutex Lock;
        std::set<std::pair<std::uint64_t, std::uint64_t>> Files;
    };
    std::shared_ptr<TRecord> Record;
};

// The device and inode Name leads to, or nothing when it cannot be found.
std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const std::string& Name);
