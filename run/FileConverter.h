#pragma once

#include "run/ConvertError.h"

#include <cstdint>
#include <functional>
#include <string>

class TLumiva;

// Streams one source file through the engine into a temporary file, chunk by chunk, in memory
// fixed by BufferSize (half input, the rest output). Raises EConvertError with fixed messages.
class TFileConverter {
public:
    TFileConverter(TLumiva& Converter, std::string FromEncoding, std::string TargetEncoding,
                   std::int32_t Translation, std::int32_t BufferSize, std::string Signature);

    // A new empty file in the system's temporary folder ("LMV" prefix).
    static std::string MakeTempFile();
    void ConvertFile(const std::string& SourceName, const std::string& TempName);

    // After every read of the source: bytes read so far of Size. May be left empty.
    std::function<void(std::uint64_t Done, std::uint64_t Size)> OnRead;

private:
    TLumiva& Converter;
    std::string FromEncoding;
    std::string TargetEncoding;
    std::int32_t Translation;
    std::int32_t BufferSize;
    std::string Signature;
};
