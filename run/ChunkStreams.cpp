#include "run/ChunkStreams.h"

#include "run/ConvertError.h"
#include "stream/ByteRing.h"
#include "stream/ReadAhead.h"
#include "stream/WriteBehind.h"
#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <system_error>

#include <unistd.h>

namespace {

// Bytes per read or write call of the threads: large enough that hand-offs between threads are
// rare next to the work, small enough that the rings stay in the processor's cache (larger blocks
// measured slower).
constexpr std::size_t StreamBlock = 256u << 10;
// A reader or writer thread that has caught up sleeps until eight more blocks are there, not one:
// each wake-up is a context switch. Eight leaves eight of the ring's sixteen spare blocks, so the
// converter never waits on a thread that waits for more.
constexpr std::size_t StreamBatch = 8 * StreamBlock;
// Buffers beyond this read and write in turn: a ring around them would cost too much memory.
constexpr std::size_t MaxStreamedBuffer = 16u << 20;

[[noreturn]] void FailRead()
{
    throw EConvertError("Cannot read from source file");
}

[[noreturn]] void FailWrite()
{
    throw EConvertError("Cannot write to temporary file");
}

void ReadExactly(int Fd, char* Data, std::size_t Size)
{
    if (!ReadAll(Fd, Data, Size))
        FailRead();
}

std::unique_ptr<char[]> Allocate(std::size_t Size)
{
    return std::unique_ptr<char[]>(new char[std::max<std::size_t>(Size, 1)]);
}

class TBufferedInput final : public TChunkInput {
public:
    TBufferedInput(int Fd, std::size_t Size, std::string_view Read) : Fd(Fd), Buffer(Allocate(Size)), Read(Read) {}

    const char* Take(std::size_t Held, std::size_t Room) override
    {
        const std::size_t early = std::min(Room, Read.size());
        if (early > 0) // an empty sample has no data pointer, which memcpy may not take
            std::memcpy(Buffer.get() + Held, Read.data(), early);
        Read.remove_prefix(early);
        ReadExactly(Fd, Buffer.get() + Held + early, Room - early);
        return Buffer.get();
    }
    void Consume(std::size_t Count, std::size_t Held) override
    {
        if (Count > 0 && Held > Count)
            std::memmove(Buffer.get(), Buffer.get() + Count, Held - Count);
    }

private:
    int Fd;
    std::unique_ptr<char[]> Buffer;
    // Bytes read before the conversion began, taken before the descriptor is read.
    std::string_view Read;
};

class TBufferedOutput final : public TChunkOutput {
public:
    TBufferedOutput(int Fd, std::size_t Size) : Fd(Fd), Buffer(Allocate(Size)) {}

    char* Room() override { return Buffer.get(); }
    void Put(std::size_t Count) override { WriteExactly(Fd, Buffer.get(), Count); }

private:
    int Fd;
    std::unique_ptr<char[]> Buffer;
};

class TRingInput final : public TChunkInput {
public:
    TRingInput(int Fd, std::uint64_t Size, std::unique_ptr<TByteRing> Ring)
        : Ring(std::move(Ring)), Reader(Fd, Size, *this->Ring, StreamBlock, StreamBatch)
    {
    }

    const char* Take(std::size_t Held, std::size_t Room) override
    {
        const std::size_t wanted = Held + Room;
        const std::span<char> data = wanted > 0 ? Ring->WaitForData(wanted) : std::span<char>();
        if (data.size() < wanted)
            FailRead();
        return data.data();
    }
    void Consume(std::size_t Count, std::size_t) override { Ring->Release(Count); }
    void Stop() override { Reader.Stop(); }

private:
    std::unique_ptr<TByteRing> Ring;
    TReadAhead Reader; // after the ring: stopped before it goes
};

class TRingOutput final : public TChunkOutput {
public:
    TRingOutput(int Fd, std::size_t Size, std::unique_ptr<TByteRing> Ring)
        : Size(Size), Ring(std::move(Ring)), Writer(Fd, *this->Ring, StreamBlock, StreamBatch)
    {
    }

    char* Room() override
    {
        const std::span<char> room = Ring->WaitForRoom(Size);
        if (room.empty())
            FailWrite();
        return room.data();
    }
    void Put(std::size_t Count) override { Ring->Commit(Count); }
    void Drain() override
    {
        if (!Writer.Finish())
            FailWrite();
    }

private:
    std::size_t Size;
    std::unique_ptr<TByteRing> Ring;
    TWriteBehind Writer;
};

// Room for one call's worth beside sixteen blocks (4 MiB): at least two, so neither side waits on
// a block the other cannot complete, and more so that a thread that falls behind for a moment (a
// page-cache stall, a wake-up) does not stop the others (figures in bench/RESULTS.md).
std::unique_ptr<TByteRing> MakeRing(std::size_t CallSize)
{
    return TByteRing::Create(CallSize + 16 * StreamBlock);
}

} // namespace

void WriteExactly(int Fd, const char* Data, std::size_t Size)
{
    if (!WriteAll(Fd, Data, Size))
        FailWrite();
}

TChunkStreams OpenChunkStreams(int Source, std::uint64_t Size, int Target, std::size_t InSize, std::size_t OutSize,
                               std::uint64_t StreamAbove, std::string_view Read)
{
    // The reader thread reads the whole source itself: what was read before is read again.
    bool rewound = false;
    if (Size > StreamAbove && InSize <= MaxStreamedBuffer && OutSize <= MaxStreamedBuffer &&
        (Read.empty() || (rewound = ::lseek(Source, 0, SEEK_SET) == 0))) {
        std::unique_ptr<TByteRing> in = MakeRing(InSize);
        std::unique_ptr<TByteRing> out = in ? MakeRing(OutSize) : nullptr;
        if (in && out) {
            try {
                TChunkStreams streams;
                streams.Output = std::make_unique<TRingOutput>(Target, OutSize, std::move(out));
                streams.Input = std::make_unique<TRingInput>(Source, Size, std::move(in));
                return streams;
            } catch (const std::system_error&) {
                // No thread to be had: read and write in turn, as for a small file.
            }
        }
    }
    if (rewound && ::lseek(Source, static_cast<off_t>(Read.size()), SEEK_SET) < 0)
        FailRead();
    return {std::make_unique<TBufferedInput>(Source, InSize, Read), std::make_unique<TBufferedOutput>(Target, OutSize)};
}
