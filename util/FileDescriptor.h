#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// An open file descriptor, closed when the holder goes; -1 holds nothing. Owned false: the
// caller's descriptor, used but never closed here. Move-only.
class TFd {
public:
    explicit TFd(int Fd = -1, bool Owned = true) noexcept : Fd(Fd), Owned(Owned) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    TFd(TFd&& Other) noexcept : Fd(std::exchange(Other.Fd, -1)), Owned(Other.Owned) {}
    TFd& operator=(TFd&& Other) noexcept
    {
        if (this != &Other) {
            Close();
            Fd = std::exchange(Other.Fd, -1);
            Owned = Other.Owned;
        }
        return *this;
    }

    int Get() const noexcept { return Fd; }
    // Closes now; false when the close reports an error (a write that did not reach the disk).
    bool Close() noexcept
    {
        const int fd = std::exchange(Fd, -1);
        return fd < 0 || !Owned || ::close(fd) == 0;
    }

private:
    int Fd;
    bool Owned;
};

// Opens a regular file for reading, relative to Folder (a folder descriptor, or AT_FDCWD), with
// Info filled. Non-blocking so that a named pipe cannot hang the open; reads of a regular file
// ignore the flag. Not open (errno set) when the name is missing, holds a NUL or names no regular
// file.
TFd OpenRegularFile(const std::string& Name, struct stat& Info, int Folder = AT_FDCWD);

// Reads until Size bytes have come or the file ends, at Offset when given (the descriptor's own
// offset then stays), going on after a signal; the count read, or -1 on an error.
ssize_t ReadUpTo(int Fd, void* Data, std::size_t Size, std::optional<std::uint64_t> Offset = std::nullopt) noexcept;

// Gives a file the modification time Time, leaving its access time: Name relative to the folder
// Fd (AT_FDCWD: the current folder), links followed, or with Name empty the file Fd itself.
bool SetModificationTime(int Fd, const std::string& Name, const struct timespec& Time) noexcept;

// Writes all Size bytes, going on after a signal; false on an error.
bool WriteAll(int Fd, const char* Data, std::size_t Size) noexcept;

inline bool ReadAll(int Fd, char* Data, std::size_t Size) noexcept
{
    return ReadUpTo(Fd, Data, Size) == static_cast<ssize_t>(Size);
}
