#include "util/FolderCache.h"

#include "util/Mysysutils.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <unistd.h>

std::shared_ptr<TFolderHandle> TFolderCache::Folder(const std::string& FolderPath)
{
    if (!Last || Last->Path() != FolderPath) {
        auto folder = std::make_shared<TFolderHandle>(TFolderHandle::Open(FolderPath));
        if (folder->Fd() < 0)
            return nullptr;
        Last = std::move(folder);
    }
    return Last;
}

bool TFolderCache::Locate(const std::string& Path, TLanding& Landing)
{
    std::string path = Path;
    for (int hops = 0; hops < 40; ++hops) {
        Landing = TLanding{};
        Landing.Path = path;
        Landing.Name = ExtractFileName(path);
        Landing.Folder = Folder(ExtractFilePath(path));
        if (!Landing.Folder || Landing.Name.empty())
            return true;
        struct stat& st = Landing.Old;
        if (::fstatat(Landing.Folder->Fd(), Landing.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            Landing.LookedUp = errno == ENOENT;
            return true;
        }
        Landing.LookedUp = true;
        Landing.Exists = true;
        if (!S_ISLNK(st.st_mode))
            return true;
        // The file behind the link is replaced, not the link; a relative link counts from the
        // link's own folder.
        char link[PATH_MAX];
        const ssize_t n = ::readlinkat(Landing.Folder->Fd(), Landing.Name.c_str(), link, sizeof link);
        if (n <= 0 || n >= static_cast<ssize_t>(sizeof link))
            return false;
        std::string next(link, static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : Landing.Folder->Path() + next;
    }
    return false;
}
