#pragma once

#include "run/ConvertError.h"
#include "run/TextPosition.h"

#include <cstdint>
#include <string>
#include <string_view>

#include <sys/types.h>

class TLumiva;

// Converts one open input (a pipe, a terminal or a file) into one open output as a filter does:
// the result is written as it is made, in memory fixed by BufferSize, and nothing is read again.
// A failure raises EConvertError, or EContentError telling what stopped the conversion and where;
// the text converted before it has been written. The engines are borrowed for the call: Counter
// decodes what a pipe gave a second time, so that a failure can tell its line and column. An
// output below 0 takes the result and keeps nothing (a check).
class TStreamConverter {
public:
    TStreamConverter(TLumiva& Converter, TLumiva& Counter, std::string FromEncoding, std::string TargetEncoding,
                     std::int32_t Translation, std::int32_t BufferSize, std::string Signature);

    // Head: bytes already read from In (a sample taken for detection), converted before the rest.
    void Convert(int In, int Out, std::string_view Head = {});

    std::uint64_t BytesRead = 0;
    std::uint64_t BytesWritten = 0;

private:
    [[noreturn]] void FailOnContent(int In, bool Seekable, const char* Held, std::size_t HeldSize);
    // Reads from what is left of Head first, then from In.
    ssize_t Pull(int In, char* Data, std::size_t Size);
    void Write(int Out, const char* Data, std::size_t Size);

    TLumiva& Converter;
    TLumiva& Counter;
    std::string FromEncoding;
    std::string TargetEncoding;
    std::int32_t Translation;
    std::int32_t BufferSize;
    std::string Signature;
    TTextPosition CountedPosition;
    std::string_view Head;
};
