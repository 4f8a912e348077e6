#include "tests/common/TreeSnapshot.h"

#include "tests/common/TestSupport.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace lmvtest {

namespace {

std::string Describe(const std::filesystem::path& Path)
{
    struct stat st;
    if (::lstat(Path.c_str(), &st) != 0)
        return "(gone)";
    std::string Text = "mode " + std::to_string(st.st_mode) + " size " + std::to_string(st.st_size) + " mtime " +
                       std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode))
        Text += " content " + ReadFile(Path.string());
    else if (S_ISLNK(st.st_mode))
        Text += " link " + std::filesystem::read_symlink(Path).string();
    return Text;
}

} // namespace

std::map<std::string, std::string> TreeSnapshot(const std::string& Folder)
{
    std::map<std::string, std::string> Tree;
    Tree["."] = Describe(Folder);
    std::error_code Error;
    for (auto It = std::filesystem::recursive_directory_iterator(Folder, Error);
         !Error && It != std::filesystem::recursive_directory_iterator(); It.increment(Error))
        Tree[std::filesystem::relative(It->path(), Folder).string()] = Describe(It->path());
    return Tree;
}

} // namespace lmvtest
