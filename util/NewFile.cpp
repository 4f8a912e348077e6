#include "util/NewFile.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

// ".lmv<10 random letters>.tmp": hidden, and never a name the user gave.
std::string HiddenName()
{
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    thread_local std::mt19937_64 random(std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32));
    std::uint64_t bits = random();
    std::string name = ".lmv";
    for (int i = 0; i < 10; ++i, bits /= 36)
        name += digits[bits % 36];
    return name + ".tmp";
}

// A new hidden name in Folder for Make, which returns its result and sets errno EEXIST when the
// name is taken.
template <class TMake>
int WithHiddenName(std::string& Name, TMake Make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        Name = HiddenName();
        const int result = Make(Name);
        if (result >= 0 || errno != EEXIST)
            return result;
    }
    Name.clear();
    return -1;
}

} // namespace

TNewFile::TNewFile(std::shared_ptr<TFolderHandle> FolderHandle, bool Unnamed) : Folder(std::move(FolderHandle))
{
    if (!Folder || Folder->Fd() < 0)
        return;
    if (Unnamed && !Folder->UnnamedRefused) {
        Fd = TFd(::openat(Folder->Fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
        if (Fd.Get() >= 0)
            return;
        // Kernels without O_TMPFILE see a directory open (EISDIR); file systems without it
        // say EOPNOTSUPP.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return;
        Folder->UnnamedRefused = true;
    }
    const int dir = Folder->Fd();
    Fd = TFd(WithHiddenName(Hidden, [dir](const std::string& Name) {
        return ::openat(dir, Name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }));
    if (Fd.Get() < 0)
        Hidden.clear();
}

TNewFile::~TNewFile()
{
    Discard();
}

std::string TNewFile::Name() const
{
    return Hidden.empty() ? std::string() : Folder->Path() + Hidden;
}

bool TNewFile::TakeOver(const struct stat& From, bool Times)
{
    struct stat now;
    if (::fstat(Fd.Get(), &now) != 0)
        return false;
    if (now.st_uid != From.st_uid || now.st_gid != From.st_gid) {
        // Only root may give a file away, and only a member may give it a group: try the owner
        // and group, then the group alone; the new file keeps whatever could not be set.
        if (::fchown(Fd.Get(), From.st_uid, From.st_gid) != 0)
            if (::fchown(Fd.Get(), static_cast<uid_t>(-1), From.st_gid) != 0) {
            }
    }
    if (::fchmod(Fd.Get(), From.st_mode & 07777) != 0)
        return false;
    if (!Times)
        return true;
    return SetModificationTime(Fd.Get(), {}, From.st_mtim);
}

bool TNewFile::LinkUnnamed(const std::string& Name)
{
    // AT_EMPTY_PATH links the descriptor itself but needs CAP_DAC_READ_SEARCH (ENOENT without);
    // through /proc any user may link an unnamed file, at the cost of a longer look-up.
    static std::atomic<bool> emptyPathRefused{false};
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (::linkat(Fd.Get(), "", Folder->Fd(), Name.c_str(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT)
            return false;
        emptyPathRefused.store(true, std::memory_order_relaxed);
    }
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", Fd.Get());
    return ::linkat(AT_FDCWD, proc, Folder->Fd(), Name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool TNewFile::Link(const std::string& Name)
{
    if (Fd.Get() < 0 || Placed)
        return false;
    if (Hidden.empty()) {
        if (!LinkUnnamed(Name))
            return false;
        Placed = true;
        // A late write error shows at the close: the name goes again.
        if (!Fd.Close()) {
            ::unlinkat(Folder->Fd(), Name.c_str(), 0);
            return false;
        }
        return true;
    }
    if (!Fd.Close())
        return false;
    int moved = ::renameat2(Folder->Fd(), Hidden.c_str(), Folder->Fd(), Name.c_str(), RENAME_NOREPLACE);
    // File systems without the flag: a plain rename (the name was free a moment ago).
    if (moved != 0 && errno == EINVAL)
        moved = ::renameat(Folder->Fd(), Hidden.c_str(), Folder->Fd(), Name.c_str());
    if (moved != 0)
        return false;
    Hidden.clear();
    Placed = true;
    return true;
}

bool TNewFile::Replace(const std::string& Name)
{
    if (Fd.Get() < 0 || Placed || ::fsync(Fd.Get()) != 0)
        return false;
    // No call puts an unnamed file in place of a name: it gets a hidden name for the one rename,
    // which follows at once (a kill between the two leaves that whole file under the hidden name).
    if (Hidden.empty() &&
        WithHiddenName(Hidden, [this](const std::string& Hide) { return LinkUnnamed(Hide) ? 0 : -1; }) != 0) {
        Hidden.clear();
        return false;
    }
    // On failure the hidden name stays for Discard.
    if (::renameat(Folder->Fd(), Hidden.c_str(), Folder->Fd(), Name.c_str()) != 0)
        return false;
    Hidden.clear();
    Placed = true;
    // The bytes are on the disk already: the close cannot lose them.
    return Fd.Close();
}

bool TNewFile::Discard()
{
    bool removed = true;
    if (!Placed && !Hidden.empty()) {
        removed = ::unlinkat(Folder->Fd(), Hidden.c_str(), 0) == 0 || errno == ENOENT;
        Hidden.clear();
    }
    Fd.Close();
    return removed;
}
