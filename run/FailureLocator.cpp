#include "run/FailureLocator.h"

#include "engine/Lumiva.h"
#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include <unistd.h>

namespace {

// Holds every code point a decoder gives, four bytes each.
constexpr const char* Unicode = "UCS-4BE";
constexpr std::size_t ChunkSize = 16384;
// Characters tried from the stop on: a decoder that holds a character back, to combine it with
// the next one, gives the culprit a step late.
constexpr std::size_t MaxCandidates = 4;
constexpr std::int32_t IgnoreTranslation = 1;
constexpr std::uint64_t NoLimit = std::numeric_limits<std::uint64_t>::max();

char32_t CodeAt(const char* Data) noexcept
{
    const auto* Byte = reinterpret_cast<const unsigned char*>(Data);
    return static_cast<char32_t>(Byte[0]) << 24 | static_cast<char32_t>(Byte[1]) << 16 |
           static_cast<char32_t>(Byte[2]) << 8 | static_cast<char32_t>(Byte[3]);
}

std::string CodeText(char32_t Code)
{
    char Text[16];
    std::snprintf(Text, sizeof Text, "U+%04X", static_cast<unsigned>(Code));
    return Text;
}

std::string PlaceText(const TTextPosition& Position, std::uint64_t Offset)
{
    return "line " + std::to_string(Position.Line()) + ", column " + std::to_string(Position.Column()) +
           " (offset " + std::to_string(Offset) + ")";
}

} // namespace

TFailureLocator::TFailureLocator(TLumiva& Converter, std::string FromEncoding, std::string TargetEncoding,
                                 std::int32_t Translation)
    : Converter(Converter), FromEncoding(std::move(FromEncoding)), TargetEncoding(std::move(TargetEncoding)),
      Translation(Translation)
{
}

std::string TFailureLocator::Describe(int Fd, std::uint64_t Offset)
{
    return DescribeAt(Fd, Offset, {}, 0);
}

std::string TFailureLocator::DescribeFrom(int Fd, const TTextPosition& Start, std::uint64_t Offset)
{
    return DescribeAt(Fd, 0, Start, Offset);
}

std::string TFailureLocator::DescribeAt(int Fd, std::uint64_t Offset, const TTextPosition& Start, std::uint64_t Base)
{
    In.assign(ChunkSize, '\0');
    Held = 0;
    HeldOffset = 0;
    BaseOffset = Base;
    AtEnd = false;
    Position = Start;
    Candidates.clear();
    try {
        // Invalid input that the run skips must not stop the count either.
        Converter.Start(FromEncoding, Unicode, Translation == IgnoreTranslation ? IgnoreTranslation : 0);
    } catch (const TLumiva::EStartError&) {
        return {};
    }
    if (!DecodeUpTo(Fd, Offset))
        return {};
    const std::optional<std::string> Stop = ReadCandidates(Fd);
    if (!Stop)
        return {};
    // The characters before the stop come first in the file.
    std::string Unwritable = FirstUnwritable();
    return !Unwritable.empty() ? Unwritable : *Stop;
}

bool TFailureLocator::DecodeUpTo(int Fd, std::uint64_t Offset)
{
    std::vector<char> Out(ChunkSize * 4);
    while (HeldOffset < Offset) {
        if (!Fill(Fd, Offset))
            return false;
        const char* InPtr = In.data();
        std::size_t InLeft = Held;
        char* OutPtr = Out.data();
        std::size_t OutLeft = Out.size();
        Converter.Convert(&InPtr, &InLeft, &OutPtr, &OutLeft);
        const std::size_t Produced = Out.size() - OutLeft;
        for (std::size_t i = 0; i + 4 <= Produced; i += 4)
            Position.Advance(CodeAt(Out.data() + i));
        // The pipeline took these bytes: a decoder that cannot means the file changed since.
        if (InLeft == Held && Produced == 0)
            return false;
        Consume(Held - InLeft);
    }
    return true;
}

std::optional<std::string> TFailureLocator::ReadCandidates(int Fd)
{
    // The decoder gets one byte more at a time and gives one character per call, so that an
    // escape sequence is taken on its own and each character gets its own offset; room for two
    // where a decoder gives a pair at once.
    std::size_t Feed = 1;
    std::size_t Room = 4;
    for (;;) {
        if (!Fill(Fd, NoLimit))
            return std::nullopt;
        if (Held == 0)
            return std::string(); // the end of the file, and nothing wrong on the way
        const std::size_t Given = std::min(Feed, Held);
        char Out[8];
        const char* InPtr = In.data();
        std::size_t InLeft = Given;
        char* OutPtr = Out;
        std::size_t OutLeft = Room;
        const int Error = Converter.Convert(&InPtr, &InLeft, &OutPtr, &OutLeft);
        const std::size_t Produced = Room - OutLeft;
        for (std::size_t i = 0; i + 4 <= Produced; i += 4) {
            const char32_t Code = CodeAt(Out + i);
            Candidates.push_back({Code, Position, BaseOffset + HeldOffset});
            Position.Advance(Code);
        }
        if (InLeft != Given || Produced > 0) {
            Consume(Given - InLeft);
            Feed = 1;
            Room = 4;
            if (Candidates.size() >= MaxCandidates)
                return std::string();
            continue;
        }
        if (Error == EILSEQ)
            return "Invalid byte sequence at " + PlaceText(Position, BaseOffset + HeldOffset);
        if (Error == EINVAL && Given < Held) {
            ++Feed;
            continue;
        }
        if (Error == EINVAL && AtEnd)
            return "Incomplete character at the end of the file (offset " + std::to_string(BaseOffset + HeldOffset) +
                   ")";
        if (Error == E2BIG && Room == 4) {
            Room = 8;
            continue;
        }
        return std::string();
    }
}

std::string TFailureLocator::FirstUnwritable()
{
    if (Candidates.empty())
        return {};
    try {
        Converter.Start(Unicode, TargetEncoding, Translation);
    } catch (const TLumiva::EStartError&) {
        return {};
    }
    for (const TCandidate& Candidate : Candidates) {
        const char Bytes[4] = {static_cast<char>(Candidate.Code >> 24), static_cast<char>(Candidate.Code >> 16),
                               static_cast<char>(Candidate.Code >> 8), static_cast<char>(Candidate.Code)};
        const char* InPtr = Bytes;
        std::size_t InLeft = sizeof Bytes;
        // Room for the longest transliteration.
        char Out[256];
        char* OutPtr = Out;
        std::size_t OutLeft = sizeof Out;
        Converter.Convert(&InPtr, &InLeft, &OutPtr, &OutLeft);
        if (InLeft != 0)
            return "Character " + CodeText(Candidate.Code) + " cannot be written in " + TargetEncoding + ", at " +
                   PlaceText(Candidate.Position, Candidate.Offset);
    }
    return {};
}

bool TFailureLocator::Fill(int Fd, std::uint64_t Limit)
{
    const std::uint64_t Next = HeldOffset + Held;
    std::size_t Want = In.size() - Held;
    if (Limit - Next < Want)
        Want = static_cast<std::size_t>(Limit - Next);
    const ssize_t Got = ReadUpTo(Fd, In.data() + Held, Want, HeldOffset + Held);
    if (Got < 0)
        return false;
    if (static_cast<std::size_t>(Got) < Want)
        AtEnd = true;
    Held += static_cast<std::size_t>(Got);
    return true;
}

void TFailureLocator::Consume(std::size_t Count)
{
    Held -= Count;
    if (Held > 0)
        std::memmove(In.data(), In.data() + Count, Held);
    HeldOffset += Count;
}
