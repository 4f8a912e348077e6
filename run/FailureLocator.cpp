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
    const auto* byte = reinterpret_cast<const unsigned char*>(Data);
    return static_cast<char32_t>(byte[0]) << 24 | static_cast<char32_t>(byte[1]) << 16 |
           static_cast<char32_t>(byte[2]) << 8 | static_cast<char32_t>(byte[3]);
}

std::string CodeText(char32_t Code)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(Code));
    return text;
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
    const std::optional<std::string> stop = ReadCandidates(Fd);
    if (!stop)
        return {};
    // The characters before the stop come first in the file.
    std::string unwritable = FirstUnwritable();
    return !unwritable.empty() ? unwritable : *stop;
}

bool TFailureLocator::DecodeUpTo(int Fd, std::uint64_t Offset)
{
    std::vector<char> out(ChunkSize * 4);
    while (HeldOffset < Offset) {
        if (!Fill(Fd, Offset))
            return false;
        const char* inPtr = In.data();
        std::size_t inLeft = Held;
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
        const std::size_t produced = out.size() - outLeft;
        for (std::size_t i = 0; i + 4 <= produced; i += 4)
            Position.Advance(CodeAt(out.data() + i));
        // The pipeline took these bytes: a decoder that cannot means the file changed since.
        if (inLeft == Held && produced == 0)
            return false;
        Consume(Held - inLeft);
    }
    return true;
}

std::optional<std::string> TFailureLocator::ReadCandidates(int Fd)
{
    // The decoder gets one byte more at a time and gives one character per call, so that an
    // escape sequence is taken on its own and each character gets its own offset; room for two
    // where a decoder gives a pair at once.
    std::size_t feed = 1;
    std::size_t room = 4;
    for (;;) {
        if (!Fill(Fd, NoLimit))
            return std::nullopt;
        if (Held == 0)
            return std::string(); // the end of the file, and nothing wrong on the way
        const std::size_t given = std::min(feed, Held);
        char out[8];
        const char* inPtr = In.data();
        std::size_t inLeft = given;
        char* outPtr = out;
        std::size_t outLeft = room;
        const int error = Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
        const std::size_t produced = room - outLeft;
        for (std::size_t i = 0; i + 4 <= produced; i += 4) {
            const char32_t code = CodeAt(out + i);
            Candidates.push_back({code, Position, BaseOffset + HeldOffset});
            Position.Advance(code);
        }
        if (inLeft != given || produced > 0) {
            Consume(given - inLeft);
            feed = 1;
            room = 4;
            if (Candidates.size() >= MaxCandidates)
                return std::string();
            continue;
        }
        if (error == EILSEQ)
            return "Invalid byte sequence at " + PlaceText(Position, BaseOffset + HeldOffset);
        if (error == EINVAL && given < Held) {
            ++feed;
            continue;
        }
        if (error == EINVAL && AtEnd)
            return "Incomplete character at the end of the file (offset " + std::to_string(BaseOffset + HeldOffset) +
                   ")";
        if (error == E2BIG && room == 4) {
            room = 8;
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
    for (const TCandidate& candidate : Candidates) {
        const char bytes[4] = {static_cast<char>(candidate.Code >> 24), static_cast<char>(candidate.Code >> 16),
                               static_cast<char>(candidate.Code >> 8), static_cast<char>(candidate.Code)};
        const char* inPtr = bytes;
        std::size_t inLeft = sizeof bytes;
        // Room for the longest transliteration.
        char out[256];
        char* outPtr = out;
        std::size_t outLeft = sizeof out;
        Converter.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
        if (inLeft != 0)
            return "Character " + CodeText(candidate.Code) + " cannot be written in " + TargetEncoding + ", at " +
                   PlaceText(candidate.Position, candidate.Offset);
    }
    return {};
}

bool TFailureLocator::Fill(int Fd, std::uint64_t Limit)
{
    const std::uint64_t next = HeldOffset + Held;
    std::size_t want = In.size() - Held;
    if (Limit - next < want)
        want = static_cast<std::size_t>(Limit - next);
    const ssize_t got = ReadUpTo(Fd, In.data() + Held, want, HeldOffset + Held);
    if (got < 0)
        return false;
    if (static_cast<std::size_t>(got) < want)
        AtEnd = true;
    Held += static_cast<std::size_t>(got);
    return true;
}

void TFailureLocator::Consume(std::size_t Count)
{
    Held -= Count;
    if (Held > 0)
        std::memmove(In.data(), In.data() + Count, Held);
    HeldOffset += Count;
}
