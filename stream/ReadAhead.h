#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

class TByteRing;

// Reads the first Size bytes of a file into a ring on a thread of its own, Block bytes per call
// at most, while the ring's consumer works on what came before. It finishes the ring at the end
// of the bytes or at the first read that fails or comes up short, so the consumer sees fewer
// bytes than Size exactly where reading stopped. Made and dropped by the consumer's thread; the
// destructor stops the ring and joins the thread. Neither the file nor the ring is owned.
class TReadAhead {
public:
    // Batch: once the ring is full, it sleeps until Block + Batch bytes are free (see the ring).
    TReadAhead(int Fd, std::uint64_t Size, TByteRing& Ring, std::size_t Block, std::size_t Batch = 0);
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // Stops reading and joins the thread, so that nothing else reads the file from now on.
    void Stop();

private:
    void Run();

    int Fd;
    std::uint64_t Size;
    TByteRing& Ring;
    std::size_t Block;
    std::size_t Batch;
    std::thread Thread;
};
