#include "run/ReplacedFiles.h"

#include <optional>

#include <sys/stat.h>

namespace {

std::optional<std::pair<std::uint64_t, std::uint64_t>> Identity(const std::string& Name)
{
    struct stat info;
    if (Name.find('\0') != std::string::npos || ::stat(Name.c_str(), &info) != 0)
        return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(info.st_dev, info.st_ino);
}

} // namespace

bool TReplacedFiles::Contains(const std::string& Name) const
{
    const auto identity = Identity(Name);
    return identity && Files.count(*identity) > 0;
}

void TReplacedFiles::Add(const std::string& Name)
{
    if (const auto identity = Identity(Name))
        Files.insert(*identity);
}
