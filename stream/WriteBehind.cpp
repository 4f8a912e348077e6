#include "stream/WriteBehind.h"

#include "stream/ByteRing.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include <unistd.h>

TWriteBehind::TWriteBehind(int Fd, TByteRing& Ring, std::size_t Block, std::size_t Batch)
    : Fd(Fd), Ring(Ring), Block(std::clamp<std::size_t>(Block, 1, Ring.Capacity())), Batch(Batch), Thread([this] { Run(); })
{
}

TWriteBehind::~TWriteBehind()
{
    if (!Thread.joinable())
        return;
    Ring.Stop();
    Thread.join();
}

bool TWriteBehind::Finish()
{
    if (Thread.joinable()) {
        Ring.Finish();
        Thread.join();
    }
    return !Failed;
}

void TWriteBehind::Run()
{
    for (;;) {
        const std::span<char> data = Ring.WaitForData(Block, Batch);
        if (data.empty())
            return;
        const std::size_t count = std::min(data.size(), Block);
        ssize_t n;
        do
            n = ::write(Fd, data.data(), count);
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            Failed = true;
            Ring.Stop();
            return;
        }
        Ring.Release(static_cast<std::size_t>(n));
    }
}
