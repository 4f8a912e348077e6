#include "util/FolderCache.h"

#include "util/Mysysutils.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <unistd.h>

std::shared_ptr<TFolderHandle> TFolderCache::Folder(const std::string& FolderPath)
{
    if (Pinned && Pinned->first == FolderPath) {
        if (!Pinned->second)
            errno = ELOOP;
        return Pinned->second;
    }
    if (!Last || Last->Path() != FolderPath) {
        auto folder = std::make_shared<TFolderHandle>(TFolderHandle::Open(FolderPath));
        if (folder->Fd() < 0)
            return nullptr;
        Last = std::move(folder);
    }
    return Last;
}

bool TFolderCache::Locate(const std::string& Path, TLanding& Landing, bool FollowLinks)
{
    std::string path = Path;
    TLanding link;
    for (int hops = 0; hops < 40; ++hops) {
        Landing = TLanding{};
        Landing.Path = path;
        Landing.Name = ExtractFileName(path);
        Landing.Folder = Folder(ExtractFilePath(path));
        const bool missingFolder = !Landing.Folder && (errno == ENOENT || errno == ENOTDIR);
        struct stat& st = Landing.Old;
        if (!Landing.Folder || Landing.Name.empty() ||
            ::fstatat(Landing.Folder->Fd(), Landing.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (hops > 0 && (missingFolder || (Landing.Folder && !Landing.Name.empty() && errno == ENOENT))) {
                Landing = std::move(link);
                return true;
            }
            if (!Landing.Folder || Landing.Name.empty())
                return true;
            Landing.LookedUp = errno == ENOENT;
            return true;
        }
        Landing.LookedUp = true;
        Landing.Exists = true;
        if (!S_ISLNK(st.st_mode) || !FollowLinks)
            return true;
        // The file behind the link is replaced, not the link; a relative link counts from the
        // link's own folder.
        char target[PATH_MAX];
        const ssize_t n = ::readlinkat(Landing.Folder->Fd(), Landing.Name.c_str(), target, sizeof target);
        if (n <= 0 || n >= static_cast<ssize_t>(sizeof target))
            return false;
        std::string next(target, static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : Landing.Folder->Path() + next;
        if (hops == 0)
            link = Landing;
    }
    return false;
}

void TFolderCache::Pin(std::string FolderPath, std::shared_ptr<TFolderHandle> Folder)
{
    Pinned.emplace(std::move(FolderPath), std::move(Folder));
}

void TFolderCache::Unpin()
{
    Pinned.reset();
}
