#include "folders/InputExpansion.h"

#include "util/Mysysutils.h"

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

namespace {

bool IsFolder(const std::string& Name)
{
    // A name holding a NUL names nothing; cut there it would name another.
    struct stat info;
    return Name.find('\0') == std::string::npos && ::stat(Name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

bool NamesFolder(const TStringList& Names)
{
    return NamesFolder(Names, 0, Names.Count());
}

bool NamesFolder(const TStringList& Names, std::size_t First, std::size_t End)
{
    for (std::size_t i = First; i < std::min(End, Names.Count()); ++i)
        if (IsFolder(Names[i]))
            return true;
    return false;
}

std::string WalkFolderName(const std::string& Name)
{
    std::string folder = std::filesystem::path(ExpandFileName(Name)).lexically_normal().string();
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    return folder;
}

bool TInputExpansion::Expand(const TStringList& Names, std::vector<TInputFile>& Inputs)
{
    for (const std::string& name : Names) {
        if (!IsFolder(name))
            Inputs.push_back({name, {}});
        else if (!Walker.Walk(WalkFolderName(name), Inputs))
            return false;
    }
    return true;
}
