#pragma once

#include <cstddef>
#include <thread>

class TByteRing;

// Writes what a ring's producer commits to a file on a thread of its own, once Block bytes are
// held or the producer finished, Block bytes per call at most. A write that fails stops the ring,
// so the producer's next wait for room comes back empty. Made and dropped by the producer's
// thread; the destructor stops the ring and joins the thread, dropping what is not written yet.
// Neither the file nor the ring is owned.
class TWriteBehind {
public:
    // Batch: once it has caught up, it sleeps until Block + Batch bytes are held (see the ring).
    TWriteBehind(int Fd, TByteRing& Ring, std::size_t Block, std::size_t Batch = 0);
    ~TWriteBehind();
    TWriteBehind(const TWriteBehind&) = delete;
    TWriteBehind& operator=(const TWriteBehind&) = delete;

    // Finishes the ring, writes all that it holds and joins the thread; false when a write failed
    // (now or before). Later calls give the same answer.
    bool Finish();

private:
    void Run();

    int Fd;
    TByteRing& Ring;
    std::size_t Block;
    std::size_t Batch;
    bool Failed = false; // written by the thread, read after joining it
    std::thread Thread;
};
