#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// The source as the conversion loop takes it: Take(Held, Room) gives Held + Room bytes in one
// span, the Held bytes not yet consumed first, then Room bytes more of the source;
// Consume(Count, Held) drops the first Count of the Held bytes the span now holds, keeping the
// rest for the next Take. Raises "Cannot read from source file" when the source gives fewer.
class TChunkInput {
public:
    virtual ~TChunkInput() = default;
    virtual const char* Take(std::size_t Held, std::size_t Room) = 0;
    virtual void Consume(std::size_t Count, std::size_t Held) = 0;
    // Nothing reads the source behind the loop's back from now on.
    virtual void Stop() {}
};

// The temporary file as the conversion loop fills it: Room() gives Size() bytes to convert into,
// Put(Count) passes on the first Count of them, and Drain() sees everything passed on written.
// Put and Drain raise "Cannot write to temporary file" (Room too, when output written behind
// the loop failed).
class TChunkOutput {
public:
    virtual ~TChunkOutput() = default;
    virtual char* Room() = 0;
    virtual void Put(std::size_t Count) = 0;
    virtual void Drain() {}
};

struct TChunkStreams {
    std::unique_ptr<TChunkInput> Input;
    std::unique_ptr<TChunkOutput> Output;
};

// Above this many bytes a source is read ahead and its result written behind the conversion, on
// threads of their own; below it starting the threads costs more than they save (measured).
constexpr std::uint64_t DefaultStreamAbove = 4u << 20;

// Buffers of InSize and OutSize bytes for the source Source (Size bytes) and the file Target.
// Sources above StreamAbove bytes are read and written on threads of their own through rings,
// with the same call shapes and the same failures, where the rings can be made; smaller ones, and
// buffers too large for a ring, are read and written in turn on the caller's thread. Read: the
// source's first bytes, read already (Source's offset stands past them); they are taken first.
TChunkStreams OpenChunkStreams(int Source, std::uint64_t Size, int Target, std::size_t InSize, std::size_t OutSize,
                               std::uint64_t StreamAbove, std::string_view Read = {});

// The whole of Size bytes, or "Cannot write to temporary file".
void WriteExactly(int Fd, const char* Data, std::size_t Size);
