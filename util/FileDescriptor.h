#pragma once

#include <cerrno>
#include <cstddef>
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

// One read or write after another until Size bytes have gone, going on after a signal; false at
// an error or at an end of file before that.
template <class TByte, class TCall>
bool TransferAll(TCall Call, int Fd, TByte* Data, std::size_t Size) noexcept
{
    while (Size > 0) {
        const ssize_t n = Call(Fd, Data, Size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        Data += n;
        Size -= static_cast<std::size_t>(n);
    }
    return true;
}

inline bool WriteAll(int Fd, const char* Data, std::size_t Size) noexcept
{
    return TransferAll(::write, Fd, Data, Size);
}

inline bool ReadAll(int Fd, char* Data, std::size_t Size) noexcept
{
    return TransferAll(::read, Fd, Data, Size);
}
