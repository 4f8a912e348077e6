#include "stream/ReadAhead.h"

#include "stream/ByteRing.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include <unistd.h>

TReadAhead::TReadAhead(int Fd, std::uint64_t Size, TByteRing& Ring, std::size_t Block, std::size_t Batch)
    : Fd(Fd), Size(Size), Ring(Ring), Block(std::clamp<std::size_t>(Block, 1, Ring.Capacity())), Batch(Batch),
      Thread([this] { Run(); })
{
}

TReadAhead::~TReadAhead()
{
    Stop();
}

void TReadAhead::Stop()
{
    if (!Thread.joinable())
        return;
    Ring.Stop();
    Thread.join();
}

void TReadAhead::Run()
{
    std::uint64_t left = Size;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(Block, left));
        const std::span<char> room = Ring.WaitForRoom(want, Batch);
        if (room.empty())
            return;
        ssize_t n;
        do
            n = ::read(Fd, room.data(), std::min(room.size(), want));
        while (n < 0 && errno == EINTR);
        if (n <= 0)
            break;
        Ring.Commit(static_cast<std::size_t>(n));
        left -= static_cast<std::uint64_t>(n);
    }
    Ring.Finish();
}
