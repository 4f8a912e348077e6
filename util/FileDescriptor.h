#pragma once

#include <utility>

#include <unistd.h>

// An open file descriptor, closed when the holder goes; -1 holds nothing. Owned false: the
// caller's descriptor, used but never closed here.
class TFd {
public:
    explicit TFd(int Fd = -1, bool Owned = true) noexcept : Fd(Fd), Owned(Owned) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

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
