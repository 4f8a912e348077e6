#include "util/BeneathPath.h"

#include <cerrno>
#include <cstdint>
#include <vector>

#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int FolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The parts of Relative; false for a part that could climb out (".." ) or an empty one.
bool SplitParts(const std::string& Relative, std::vector<std::string>& Parts)
{
    std::size_t start = 0;
    while (start <= Relative.size()) {
        const std::size_t end = Relative.find('/', start);
        Parts.push_back(Relative.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (Parts.back().empty() || Parts.back() == "." || Parts.back() == "..")
            return false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

TFd OpenByParts(int Root, const std::vector<std::string>& Parts, int Flags)
{
    TFd folder;
    int at = Root;
    for (std::size_t i = 0; i + 1 < Parts.size(); ++i) {
        folder = TFd(::openat(at, Parts[i].c_str(), FolderFlags));
        if (folder.Get() < 0)
            return folder;
        at = folder.Get();
    }
    return TFd(::openat(at, Parts.back().c_str(), Flags | O_NOFOLLOW | O_CLOEXEC));
}

} // namespace

TFd OpenBeneath(int Root, const std::string& Relative, int Flags, bool KernelResolve)
{
    if (Relative.empty())
        return TFd(::openat(Root, ".", Flags | O_CLOEXEC));
    std::vector<std::string> parts;
    if (Relative.find('\0') != std::string::npos || !SplitParts(Relative, parts)) {
        errno = EXDEV;
        return TFd();
    }
    if (KernelResolve) {
        struct open_how how {};
        how.flags = static_cast<std::uint64_t>(Flags | O_CLOEXEC);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        for (int attempt = 0; attempt < 8; ++attempt) {
            const long fd = ::syscall(SYS_openat2, Root, Relative.c_str(), &how, sizeof how);
            if (fd >= 0)
                return TFd(static_cast<int>(fd));
            // EAGAIN: a rename elsewhere raced the look-up.
            if (errno != EAGAIN)
                break;
        }
        // Kernels before 5.6, and sandboxes that refuse the call.
        if (errno != ENOSYS && errno != EPERM)
            return TFd();
    }
    return OpenByParts(Root, parts, Flags);
}

TFd MakeFoldersBeneath(int Root, const std::string& Relative, const std::function<void(const std::string&)>& OnMade,
                       std::string& Failed)
{
    Failed.clear();
    if (Relative.empty())
        return TFd(::openat(Root, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::vector<std::string> parts;
    if (Relative.find('\0') != std::string::npos || !SplitParts(Relative, parts)) {
        Failed = Relative;
        errno = EXDEV;
        return TFd();
    }
    TFd folder;
    int at = Root;
    std::string path;
    for (const std::string& part : parts) {
        path += path.empty() ? part : "/" + part;
        TFd next(::openat(at, part.c_str(), FolderFlags));
        if (next.Get() < 0 && errno == ENOENT) {
            const bool made = ::mkdirat(at, part.c_str(), 0777) == 0;
            if (made && OnMade)
                OnMade(path);
            // EEXIST: made meanwhile by another; whatever it is, it must be a folder.
            if (made || errno == EEXIST)
                next = TFd(::openat(at, part.c_str(), FolderFlags));
        }
        if (next.Get() < 0) {
            Failed = path;
            return next;
        }
        folder = std::move(next);
        at = folder.Get();
    }
    return folder;
}
