#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

// A byte ring between one producer thread and one consumer thread. Its memory is mapped twice,
// back to back, so the bytes held and the room left are each one contiguous span wherever they
// wrap: callers read and write the ring in place. Waits sleep on condition variables and wake
// only once what the waiting side asked for is there.
class TByteRing {
public:
    // Capacity: at least MinCapacity, rounded up to whole pages. Nothing when the memory cannot
    // be mapped so (the caller then does without a ring).
    static std::unique_ptr<TByteRing> Create(std::size_t MinCapacity);
    ~TByteRing();
    TByteRing(const TByteRing&) = delete;
    TByteRing& operator=(const TByteRing&) = delete;

    std::size_t Capacity() const noexcept { return Size; }

    // Producer: all the room there is, once at least Min bytes (at most the capacity) are free;
    // empty once the ring is stopped. A producer that has to sleep sleeps until Min + Batch are
    // free, so that it wakes once per batch, not once per release.
    std::span<char> WaitForRoom(std::size_t Min, std::size_t Batch = 0);
    // Producer: the first Count bytes of the room now hold data.
    void Commit(std::size_t Count);
    // Producer: no more data will come.
    void Finish();

    // Consumer: all the data there is, once at least Min bytes (at most the capacity) are held or
    // the producer finished (then maybe fewer); empty once the ring is stopped. A consumer that
    // has to sleep sleeps until Min + Batch are held (or the producer finished).
    std::span<char> WaitForData(std::size_t Min, std::size_t Batch = 0);
    // Consumer: the first Count bytes of the data are done with.
    void Release(std::size_t Count);

    // Either side: give up; every wait, now and later, returns empty.
    void Stop();

private:
    TByteRing(char* Base, std::size_t Size) noexcept : Base(Base), Size(Size) {}
    template <class TReady>
    void Await(std::unique_lock<std::mutex>& Held, std::condition_variable& Changed, std::size_t& Wanted,
               std::size_t Min, std::size_t Batch, TReady Ready);

    char* const Base;
    const std::size_t Size;

    std::mutex Lock;
    std::condition_variable RoomChanged;
    std::condition_variable DataChanged;
    std::uint64_t Written = 0; // bytes committed since the start
    std::uint64_t Taken = 0;   // bytes released since the start
    std::size_t RoomWanted = 0; // what a waiting producer waits for; 0 while none waits
    std::size_t DataWanted = 0;
    bool Finished = false;
    bool Stopped = false;
};
