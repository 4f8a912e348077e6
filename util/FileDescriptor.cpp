#include "util/FileDescriptor.h"

TFd OpenRegularFile(const std::string& Name, struct stat& Info, int Folder)
{
    // The system would read the name only up to a NUL: another file.
    if (Name.find('\0') != std::string::npos) {
        errno = ENOENT;
        return TFd();
    }
    TFd fd(::openat(Folder, Name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0)
        return fd;
    if (::fstat(fd.Get(), &Info) != 0)
        return TFd();
    if (!S_ISREG(Info.st_mode)) {
        errno = S_ISDIR(Info.st_mode) ? EISDIR : EINVAL;
        return TFd();
    }
    return fd;
}

ssize_t ReadUpTo(int Fd, void* Data, std::size_t Size, std::optional<std::uint64_t> Offset) noexcept
{
    char* const bytes = static_cast<char*>(Data);
    std::size_t got = 0;
    while (got < Size) {
        const ssize_t n = Offset ? ::pread(Fd, bytes + got, Size - got, static_cast<off_t>(*Offset + got))
                                 : ::read(Fd, bytes + got, Size - got);
        // EAGAIN: a file opened non-blocking that another process holds a lease on.
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

bool WriteAll(int Fd, const char* Data, std::size_t Size) noexcept
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

bool SetModificationTime(int Fd, const std::string& Name, const struct timespec& Time) noexcept
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, Time};
    return Name.empty() ? ::futimens(Fd, times) == 0 : ::utimensat(Fd, Name.c_str(), times, 0) == 0;
}
