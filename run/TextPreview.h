#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TLumiva;

// The start of a file (or the part around a failing position) as an encoding reads it, for
// showing: bytes that do not decode become U+FFFD, each with the bytes it stands for.
struct TTextPreview {
    // At most this many bytes of the file are read.
    static constexpr std::size_t Limit = 64 * 1024;

    struct TUndecodable {
        std::size_t At = 0; // index in Text
        std::string Bytes;
    };

    std::u32string Text;
    std::vector<TUndecodable> Undecodable;
    // "LF", "CR LF", "CR", "mixed", or empty when the part read has no line end.
    std::string LineEnds;
    bool Signature = false;
    // Where the text starts in the file.
    std::uint64_t Start = 0;
    // Index in Text of the character at the marked offset, when one was asked for and reached.
    std::optional<std::size_t> Mark;
    // An error that kept the file from being read; the rest is empty then.
    std::string Error;

    // Reads FileName through Converter (a conversion of its own: not during another). With Mark,
    // the part read is the one around that byte offset.
    static TTextPreview Read(TLumiva& Converter, const std::string& FileName, const std::string& Encoding,
                             std::optional<std::uint64_t> Mark = std::nullopt);
};
