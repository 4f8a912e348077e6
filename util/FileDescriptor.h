#pragma once

#include <utility>

#include <unistd.h>

// An open file descriptor, closed when the holder goes; -1 holds nothing.
class TFd {
public:
    explicit TFd(int Fd) noexcept : Fd(Fd) {}
    ~TFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    int Get() const noexcept { return Fd; }
    // Closes now; false when the close reports an error (a write that did not reach the disk).
    bool Close() noexcept
    {
        const int fd = std::exchange(Fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int Fd;
};
