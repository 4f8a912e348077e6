#include "run/ReplacedFiles.h"

#include <sys/stat.h>

std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const std::string& Name)
{
    struct stat info;
    if (Name.find('\0') != std::string::npos || ::stat(Name.c_str(), &info) != 0)
        return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(info.st_dev, info.st_ino);
}

TReplacedFiles::TReplacedFiles() : Record(std::make_shared<TRecord>()) {}

bool TReplacedFiles::Contains(const std::string& Name) const
{
    const auto identity = FileIdentity(Name);
    if (!identity)
        return false;
    const std::lock_guard<std::mutex> hold(Record->Lock);
    return Record->Files.count(*identity) > 0;
}

void TReplacedFiles::Add(const std::string& Name)
{
    if (const auto identity = FileIdentity(Name)) {
        const std::lock_guard<std::mutex> hold(Record->Lock);
        Record->Files.insert(*identity);
    }
}
