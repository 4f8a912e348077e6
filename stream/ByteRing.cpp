#include "stream/ByteRing.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Unmaps on every way out of Create until the ring owns the mapping.
class TMapping {
public:
    TMapping(void* Address, std::size_t Length) noexcept : Address(Address), Length(Length) {}
    ~TMapping()
    {
        if (Address != MAP_FAILED)
            ::munmap(Address, Length);
    }
    TMapping(const TMapping&) = delete;
    TMapping& operator=(const TMapping&) = delete;

    bool Valid() const noexcept { return Address != MAP_FAILED; }
    char* Get() const noexcept { return static_cast<char*>(Address); }
    char* Release() noexcept { return static_cast<char*>(std::exchange(Address, MAP_FAILED)); }

private:
    void* Address;
    std::size_t Length;
};

} // namespace

std::unique_ptr<TByteRing> TByteRing::Create(std::size_t MinCapacity)
{
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0)
        return nullptr;
    const std::size_t pageSize = static_cast<std::size_t>(page);
    const std::size_t size = (std::max<std::size_t>(MinCapacity, 1) + pageSize - 1) / pageSize * pageSize;

    const TFd memory(::memfd_create("lumiva-ring", MFD_CLOEXEC));
    if (memory.Get() < 0 || ::ftruncate(memory.Get(), static_cast<off_t>(size)) != 0)
        return nullptr;
    // Reserve both halves at once, then lay the same pages over each.
    TMapping both(::mmap(nullptr, 2 * size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0), 2 * size);
    if (!both.Valid())
        return nullptr;
    for (char* half : {both.Get(), both.Get() + size})
        if (::mmap(half, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, memory.Get(), 0) != half)
            return nullptr;
    return std::unique_ptr<TByteRing>(new TByteRing(both.Release(), size));
}

TByteRing::~TByteRing()
{
    ::munmap(Base, 2 * Size);
}

// With Lock held: returns at once when Ready(Min); else sleeps, with Wanted telling the other side
// what to wake it for, until Ready(Min + Batch).
template <class TReady>
void TByteRing::Await(std::unique_lock<std::mutex>& Held, std::condition_variable& Changed, std::size_t& Wanted,
                      std::size_t Min, std::size_t Batch, TReady Ready)
{
    if (Ready(std::clamp<std::size_t>(Min, 1, Size)))
        return;
    const std::size_t wanted = std::clamp<std::size_t>(Min + Batch, 1, Size);
    Wanted = wanted;
    Changed.wait(Held, [&] { return Ready(wanted); });
    Wanted = 0;
}

std::span<char> TByteRing::WaitForRoom(std::size_t Min, std::size_t Batch)
{
    std::unique_lock lock(Lock);
    Await(lock, RoomChanged, RoomWanted, Min, Batch,
          [this](std::size_t Wanted) { return Stopped || Size - (Written - Taken) >= Wanted; });
    if (Stopped)
        return {};
    return {Base + Written % Size, static_cast<std::size_t>(Size - (Written - Taken))};
}

void TByteRing::Commit(std::size_t Count)
{
    bool wake = false;
    {
        const std::lock_guard lock(Lock);
        Written += Count;
        wake = DataWanted != 0 && Written - Taken >= DataWanted;
    }
    if (wake)
        DataChanged.notify_one();
}

void TByteRing::Finish()
{
    {
        const std::lock_guard lock(Lock);
        Finished = true;
    }
    DataChanged.notify_one();
}

std::span<char> TByteRing::WaitForData(std::size_t Min, std::size_t Batch)
{
    std::unique_lock lock(Lock);
    Await(lock, DataChanged, DataWanted, Min, Batch,
          [this](std::size_t Wanted) { return Stopped || Finished || Written - Taken >= Wanted; });
    if (Stopped)
        return {};
    return {Base + Taken % Size, static_cast<std::size_t>(Written - Taken)};
}

void TByteRing::Release(std::size_t Count)
{
    bool wake = false;
    {
        const std::lock_guard lock(Lock);
        Taken += Count;
        wake = RoomWanted != 0 && Size - (Written - Taken) >= RoomWanted;
    }
    if (wake)
        RoomChanged.notify_one();
}

void TByteRing::Stop()
{
    {
        const std::lock_guard lock(Lock);
        Stopped = true;
    }
    RoomChanged.notify_all();
    DataChanged.notify_all();
}
