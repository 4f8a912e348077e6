#include "util/ProgramFolder.h"

#include <climits>
#include <unistd.h>

std::string ProgramFolder()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(length));
    // A replaced executable reads "<path> (deleted)": the folder part is still right.
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    path.resize(slash + 1);
    return path;
}

std::string ProgramFolderFile(const std::string& Name)
{
    if (Name.find('/') != std::string::npos)
        return Name;
    return ProgramFolder() + Name;
}
