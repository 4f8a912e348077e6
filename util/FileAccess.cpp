#include "util/FileAccess.h"

#include <vector>

#include <unistd.h>

namespace {

bool InGroup(gid_t Group)
{
    if (Group == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == Group)
            return true;
    return false;
}

} // namespace

bool IsReadOnlyFile(const struct stat& Info)
{
    const uid_t user = ::geteuid();
    if (user == 0 || user == Info.st_uid)
        return (Info.st_mode & S_IWUSR) == 0;
    if (InGroup(Info.st_gid))
        return (Info.st_mode & S_IWGRP) == 0;
    return (Info.st_mode & S_IWOTH) == 0;
}
