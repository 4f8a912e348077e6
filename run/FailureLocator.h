#pragma once

#include "run/TextPosition.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TLumiva;

// Once the pipeline has stopped on a file, tells what in the file's content stopped it and where,
// as one log line. The bytes before the stop are decoded again on their own into Unicode, so that
// lines and columns count characters; the characters at the stop are then tried alone against the
// target. Nothing of this runs while conversions succeed. The engine is borrowed: its conversion
// is replaced, so call this only after the pipeline's own conversion has ended.
class TFailureLocator {
public:
    TFailureLocator(TLumiva& Converter, std::string FromEncoding, std::string TargetEncoding,
                    std::int32_t Translation);

    // Fd: the source, open for reading; Offset: the first byte of the file that the pipeline could
    // not take. Empty when the content is not to blame (a buffer too small for one character) or
    // when the file no longer reads as it did.
    std::string Describe(int Fd, std::uint64_t Offset);
    // The same for a source that cannot be read again from its start (a pipe): Fd holds the
    // source's bytes from the stop on, and the stop stands at Offset, at Start in the text.
    std::string DescribeFrom(int Fd, const TTextPosition& Start, std::uint64_t Offset);

private:
    // A character found at the stop, with where it stands.
    struct TCandidate {
        char32_t Code;
        TTextPosition Position;
        std::uint64_t Offset;
    };

    std::string DescribeAt(int Fd, std::uint64_t Offset, const TTextPosition& Start, std::uint64_t Base);
    bool DecodeUpTo(int Fd, std::uint64_t Offset);
    // From the stop on: the characters there, then what stops the decoder (empty when nothing
    // does); nothing when the file cannot be read.
    std::optional<std::string> ReadCandidates(int Fd);
    std::string FirstUnwritable();
    // Reads more of the file, up to Limit, behind the bytes held; false on a read error.
    bool Fill(int Fd, std::uint64_t Limit);
    void Consume(std::size_t Count);

    TLumiva& Converter;
    std::string FromEncoding;
    std::string TargetEncoding;
    std::int32_t Translation;
    std::vector<char> In;
    std::size_t Held = 0;
    std::uint64_t HeldOffset = 0; // offset of In[0] in Fd
    std::uint64_t BaseOffset = 0; // offset in the source of Fd's first byte
    bool AtEnd = false;
    TTextPosition Position;
    std::vector<TCandidate> Candidates;
};
