#pragma once

#include "run/ChunkStreams.h"
#include "run/ConvertError.h"

#include <cstdint>
#include <functional>
#include <string>

class TLumiva;
class TSourceFile;

// Streams one source file through the engine into a temporary file, chunk by chunk, in memory
// fixed by BufferSize (half input, the rest output). Raises EConvertError with fixed messages.
class TFileConverter {
public:
    TFileConverter(TLumiva& Converter, std::string FromEncoding, std::string TargetEncoding,
                   std::int32_t Translation, std::int32_t BufferSize, std::string Signature);

    // Into an open, empty file that stays open (the caller places and closes it). A negative
    // TempFile (no temporary file could be made) fails with "Cannot create temporary file" once
    // the source has opened, so that a missing source is still reported as such.
    void ConvertFile(const std::string& SourceName, int TempFile);
    // The same from a source the run opened: from its sample on, when one was read.
    void ConvertFile(TSourceFile& Source, int TempFile);
    // The same conversion with its output discarded: it fails wherever ConvertFile would on the
    // file's content, and writes nothing anywhere.
    void CheckFile(const std::string& SourceName);
    void CheckFile(TSourceFile& Source);

    // After every read of the source: bytes read so far of Size. May be left empty.
    std::function<void(std::uint64_t Done, std::uint64_t Size)> OnRead;
    // Sources above this many bytes are read and written on threads beside the conversion.
    std::uint64_t StreamAbove = DefaultStreamAbove;

private:
    // Raises the failure of a conversion that stopped on the file's content at byte Offset,
    // telling what and where when that can be found (EContentError).
    // The conversion proper: chunks of InSize bytes at most into OutSize bytes of room.
    void ConvertChunks(TChunkInput& Input, std::size_t InSize, TChunkOutput& Output, std::size_t OutSize, int SourceFd,
                       std::uint64_t Size);
    [[noreturn]] void FailOnContent(int Fd, std::uint64_t Offset);

    // Output without input only drains what the converter holds, a character or two. A
    // decoder that gives output forever without taking input would otherwise grow the temporary
    // file until the disk is full.
    static constexpr int MaxCallsWithoutInput = 8;

    TLumiva& Converter;
    std::string FromEncoding;
    std::string TargetEncoding;
    std::int32_t Translation;
    std::int32_t BufferSize;
    std::string Signature;
};
