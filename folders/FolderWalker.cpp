#include "folders/FolderWalker.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include <strings.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct TPending {
    std::string Path;
    std::string Relative;
    // The open folder it lies in (null for the walked folder) and its name there: every folder
    // below the walked one is opened relative to its parent, never through a link.
    std::shared_ptr<const TFd> Parent;
    std::string Name;
};

// Opens a folder of the walk for reading; the walked folder itself by its path (a link the
// user named is followed), the others by name in their parent, refusing a link.
TFd OpenFolder(const TPending& Folder)
{
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    // Below the system's path limit no found file could be opened by its name.
    if (Folder.Path.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return TFd();
    }
    if (!Folder.Parent)
        return TFd(::open(Folder.Path.empty() ? "/" : Folder.Path.c_str(), flags));
    return TFd(::openat(Folder.Parent->Get(), Folder.Name.c_str(), flags | O_NOFOLLOW));
}

// Closes the folder on every way out.
class TDirHolder {
public:
    explicit TDirHolder(DIR* Dir) : Dir(Dir) {}
    ~TDirHolder()
    {
        if (Dir)
            ::closedir(Dir);
    }
    TDirHolder(const TDirHolder&) = delete;
    TDirHolder& operator=(const TDirHolder&) = delete;
    DIR* Get() const noexcept { return Dir; }

private:
    DIR* Dir;
};

// The root has no name of its own: what lies in it starts the relative path.
std::string JoinRelative(const std::string& Relative, const std::string& Name)
{
    return Relative.empty() ? Name : Relative + "/" + Name;
}

// ASCII letters without regard to case, as a file dialog lists them; bytes decide a tie, so the
// order is the same in every locale.
bool NameOrder(const std::string& a, const std::string& b)
{
    const int folded = ::strcasecmp(a.c_str(), b.c_str());
    return folded != 0 ? folded < 0 : a < b;
}

enum class TKind { Other, File, Folder };

TKind KindOf(DIR* Dir, const dirent& Entry, struct stat& Info, bool& HaveInfo)
{
    HaveInfo = false;
    switch (Entry.d_type) {
    case DT_REG:
        return TKind::File;
    case DT_DIR:
        return TKind::Folder;
    case DT_LNK:
        // A link counts as what it points to, but only a file is taken.
        return ::fstatat(::dirfd(Dir), Entry.d_name, &Info, 0) == 0 && S_ISREG(Info.st_mode) ? TKind::File
                                                                                                : TKind::Other;
    case DT_UNKNOWN:
        if (::fstatat(::dirfd(Dir), Entry.d_name, &Info, AT_SYMLINK_NOFOLLOW) != 0)
            return TKind::Other;
        HaveInfo = true;
        if (S_ISDIR(Info.st_mode))
            return TKind::Folder;
        if (S_ISLNK(Info.st_mode)) {
            HaveInfo = false;
            return ::fstatat(::dirfd(Dir), Entry.d_name, &Info, 0) == 0 && S_ISREG(Info.st_mode) ? TKind::File
                                                                                                    : TKind::Other;
        }
        return S_ISREG(Info.st_mode) ? TKind::File : TKind::Other;
    default:
        // Pipes, sockets and devices are no text files, and opening a pipe could hang the run.
        return TKind::Other;
    }
}

} // namespace

TFolderWalker::TFolderWalker(TWalkRules Rules, std::function<void(const std::string&)> OnUnreadable,
                             std::function<bool(std::size_t)> OnFolder)
    : Rules(std::move(Rules)), OnUnreadable(std::move(OnUnreadable)), OnFolder(std::move(OnFolder))
{
}

bool TFolderWalker::Walk(const std::string& Folder, std::vector<TInputFile>& Found)
{
    const std::size_t slash = Folder.rfind('/');
    std::vector<TPending> pending{{Folder, slash == std::string::npos ? Folder : Folder.substr(slash + 1), {}, {}}};
    std::vector<std::string> files;
    std::vector<std::string> folders;
    while (!pending.empty()) {
        const TPending current = std::move(pending.back());
        pending.pop_back();
        files.clear();
        folders.clear();
        auto folder = std::make_shared<const TFd>(OpenFolder(current));
        {
            // The listing reads through a descriptor of its own; the folder's stays for its subfolders.
            const int listed = folder->Get() < 0 ? -1 : ::fcntl(folder->Get(), F_DUPFD_CLOEXEC, 0);
            TDirHolder dir(listed < 0 ? nullptr : ::fdopendir(listed));
            if (listed >= 0 && !dir.Get())
                ::close(listed);
            if (!dir.Get()) {
                if (OnUnreadable)
                    OnUnreadable(current.Path.empty() ? std::string("/") : current.Path);
                continue;
            }
            while (true) {
                errno = 0;
                const dirent* entry = ::readdir(dir.Get());
                if (!entry) {
                    if (errno != 0 && OnUnreadable)
                        OnUnreadable(current.Path);
                    break;
                }
                const std::string name = entry->d_name;
                if (name == "." || name == "..")
                    continue;
                struct stat info;
                bool haveInfo = false;
                const TKind kind = KindOf(dir.Get(), *entry, info, haveInfo);
                if (kind == TKind::Other || Rules.SkipNames.Matches(name))
                    continue;
                if (kind == TKind::Folder) {
                    if (!Rules.IncludeSubfolders)
                        continue;
                    if (Rules.SkipFolder) {
                        if (!haveInfo && ::fstatat(::dirfd(dir.Get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                            continue;
                        if (std::pair<std::uint64_t, std::uint64_t>(info.st_dev, info.st_ino) == *Rules.SkipFolder)
                            continue;
                    }
                    folders.push_back(name);
                    continue;
                }
                if (!Rules.FileNames.Matches(name))
                    continue;
                if (std::any_of(Rules.SkipPrefixes.begin(), Rules.SkipPrefixes.end(),
                                [&name](const std::string& Prefix) { return name.starts_with(Prefix); }))
                    continue;
                files.push_back(name);
            }
        }
        std::sort(files.begin(), files.end(), NameOrder);
        std::sort(folders.begin(), folders.end(), NameOrder);
        for (const std::string& name : files)
            Found.push_back({current.Path + "/" + name, JoinRelative(current.Relative, name)});
        for (auto name = folders.rbegin(); name != folders.rend(); ++name)
            pending.push_back({current.Path + "/" + *name, JoinRelative(current.Relative, *name), folder, *name});
        if (OnFolder && !OnFolder(Found.size()))
            return false;
    }
    return true;
}
