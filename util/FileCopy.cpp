#include "util/FileCopy.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdint>
#include <memory>
#include <random>

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TFd {
public:
    explicit TFd(int Fd = -1) noexcept : Fd(Fd) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    int Get() const noexcept { return Fd; }
    // Closes now and reports whether the close succeeded (late write errors show here).
    bool Close() noexcept
    {
        const int fd = Fd;
        Fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void Reset() noexcept { Close(); }

private:
    int Fd;
};

// A symbolic link is followed to the path it finally names (which may not exist yet), so the
// file behind the link is replaced and the link itself stays.
bool ResolveLinks(std::string& Path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(Path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(Path.c_str(), link, sizeof link);
        if (n < 0 || n >= static_cast<ssize_t>(sizeof link))
            return false;
        std::string next(link, static_cast<std::size_t>(n));
        if (next.empty())
            return false;
        if (next.front() != '/') {
            const std::size_t slash = Path.rfind('/');
            next = (slash == std::string::npos ? std::string() : Path.substr(0, slash + 1)) + next;
        }
        Path = std::move(next);
    }
    return false;
}

// A new file beside Target, created with mode 0666 so that the umask applies.
int CreateSibling(const std::string& Target, std::string& Name)
{
    const std::size_t slash = Target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : Target.substr(0, slash + 1);
    static constexpr char Digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device seed;
    std::mt19937_64 random(seed() ^ (static_cast<std::uint64_t>(::getpid()) << 32));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t bits = random();
        std::string suffix;
        for (int i = 0; i < 10; ++i, bits /= 36)
            suffix += Digits[bits % 36];
        Name = folder + ".lmv" + suffix + ".tmp";
        const int fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool WriteAll(int Fd, const char* Data, std::size_t Size)
{
    while (Size > 0) {
        const ssize_t n = ::write(Fd, Data, Size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        Data += n;
        Size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadWriteCopy(int In, int Out)
{
    constexpr std::size_t ChunkSize = 256 * 1024;
    const std::unique_ptr<char[]> buffer(new char[ChunkSize]);
    for (;;) {
        const ssize_t n = ::read(In, buffer.get(), ChunkSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!WriteAll(Out, buffer.get(), static_cast<std::size_t>(n)))
            return false;
    }
}

enum class TPump { Done, Failed, Unsupported };

// Repeats a kernel copy step to the end of the input. A step the file systems do not support
// before any byte moved reports Unsupported, so that the next way can be tried.
template <class TStep, class TIsUnsupported>
TPump Pump(TStep Step, TIsUnsupported IsUnsupported, bool& Moved)
{
    for (;;) {
        const ssize_t n = Step();
        if (n > 0) {
            Moved = true;
            continue;
        }
        if (n == 0)
            return TPump::Done;
        if (errno == EINTR)
            continue;
        return Moved || !IsUnsupported(errno) ? TPump::Failed : TPump::Unsupported;
    }
}

// Copies from the current offsets to the end of In: copy_file_range, else sendfile, else read
// and write.
bool CopyContent(int In, int Out)
{
    constexpr std::size_t ChunkSize = 1u << 30;
    bool moved = false;
    TPump result = Pump([&] { return ::copy_file_range(In, nullptr, Out, nullptr, ChunkSize, 0); },
                        [](int error) {
                            return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
                                   error == EPERM || error == EBADF;
                        },
                        moved);
    if (result == TPump::Unsupported)
        result = Pump([&] { return ::sendfile(Out, In, nullptr, ChunkSize); },
                      [](int error) { return error == EINVAL || error == ENOSYS; }, moved);
    if (result == TPump::Unsupported)
        return ReadWriteCopy(In, Out);
    return result == TPump::Done;
}

// The target as it will be replaced: links followed, and only a plain file the user may write
// counts as replaceable.
struct TTarget {
    std::string Path;
    bool Replacing = false;
    struct stat Old {};
};

bool ResolveTarget(const std::string& Target, TTarget& Result)
{
    Result.Path = Target;
    if (Result.Path.empty() || !ResolveLinks(Result.Path))
        return false;
    Result.Replacing = ::stat(Result.Path.c_str(), &Result.Old) == 0;
    if (!Result.Replacing && errno != ENOENT)
        return false;
    // Only a plain file is replaced; a directory, device or pipe stays as it is.
    if (Result.Replacing && !S_ISREG(Result.Old.st_mode))
        return false;
    // The rename would get past a file its owner made read-only; a plain copy would not.
    if (Result.Replacing && ::access(Result.Path.c_str(), W_OK) != 0)
        return false;
    return true;
}

// Gives the new file the replaced file's owner and permission bits and puts its bytes on the disk,
// so that the rename never leaves a replaced file empty after a crash.
bool TakeOverOldFile(int Fd, const struct stat& Old)
{
    struct stat fresh;
    if (::fstat(Fd, &fresh) == 0 && (fresh.st_uid != Old.st_uid || fresh.st_gid != Old.st_gid))
        if (::fchown(Fd, Old.st_uid, Old.st_gid) != 0) {
            // Only root may give a file away; the copy then belongs to whoever runs it.
        }
    return ::fchmod(Fd, Old.st_mode & 07777) == 0 && ::fsync(Fd) == 0;
}

// The process's umask, read without changing it (umask() would race with other threads).
mode_t CurrentUmask()
{
    unsigned value = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &value) == 1)
                break;
        std::fclose(status);
    }
    return static_cast<mode_t>(value);
}

int OpenRegularSource(const std::string& Source, struct stat& Info)
{
    const int fd = ::open(Source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Non-blocking only so that opening a pipe could not hang; plain reads from here on.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

dev_t FolderDevice(const std::string& Path)
{
    const std::size_t slash = Path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : Path.substr(0, slash + 1);
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 ? st.st_dev : static_cast<dev_t>(-1);
}

} // namespace

bool CopyFileReplace(const std::string& Source, const std::string& Target)
{
    struct stat source;
    TFd in(OpenRegularSource(Source, source));
    if (in.Get() < 0)
        return false;
    ::posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    TTarget target;
    if (!ResolveTarget(Target, target))
        return false;
    std::string partial;
    TFd out(CreateSibling(target.Path, partial));
    if (out.Get() < 0)
        return false;
    bool done = CopyContent(in.Get(), out.Get());
    if (done && target.Replacing)
        done = TakeOverOldFile(out.Get(), target.Old);
    done = out.Close() && done;
    if (done)
        done = ::rename(partial.c_str(), target.Path.c_str()) == 0;
    if (!done)
        ::unlink(partial.c_str());
    return done;
}

TPlaceResult MoveFileReplace(const std::string& Source, const std::string& Target)
{
    struct stat source;
    if (::stat(Source.c_str(), &source) != 0 || !S_ISREG(source.st_mode))
        return TPlaceResult::Failed;
    TTarget target;
    if (!ResolveTarget(Target, target))
        return TPlaceResult::Failed;
    if (FolderDevice(target.Path) == source.st_dev) {
        // A new file needs only its mode; a replacement also the old owner and a sync, which
        // take an open file.
        bool ready;
        if (target.Replacing) {
            TFd in(::open(Source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
            ready = in.Get() >= 0 && TakeOverOldFile(in.Get(), target.Old);
        } else {
            ready = ::chmod(Source.c_str(), 0666 & ~CurrentUmask()) == 0;
        }
        if (!ready)
            return TPlaceResult::Failed;
        if (::rename(Source.c_str(), target.Path.c_str()) == 0)
            return TPlaceResult::Moved;
        if (errno != EXDEV)
            return TPlaceResult::Failed;
    }
    return CopyFileReplace(Source, Target) ? TPlaceResult::Copied : TPlaceResult::Failed;
}
