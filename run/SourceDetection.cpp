#include "run/SourceDetection.h"

#include "detect/DetectionLibraries.h"
#include "detect/EncodingGroups.h"
#include "engine/Lumiva.h"
#include "run/ConvertError.h"
#include "run/Logger.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Up to Size bytes at Offset, fewer only at the end of the file; -1 on an error.
ssize_t ReadFull(int Fd, char* Data, std::size_t Size, off_t Offset)
{
    std::size_t got = 0;
    while (got < Size) {
        const ssize_t n = ::pread(Fd, Data + got, Size - got, Offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// The source, read to its end in fixed memory, against the converted file's descriptor (read with
// pread, so its offset stays where the conversion left it); false when either cannot be read.
bool SameContent(const std::string& Source, int Converted)
{
    const TFd source(::open(Source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (source.Get() < 0 || Converted < 0)
        return false;
    constexpr std::size_t Chunk = 64 * 1024;
    const auto bufferA = std::make_unique<char[]>(Chunk);
    const auto bufferB = std::make_unique<char[]>(Chunk);
    for (off_t offset = 0;;) {
        const ssize_t gotA = ReadFull(source.Get(), bufferA.get(), Chunk, offset);
        const ssize_t gotB = ReadFull(Converted, bufferB.get(), Chunk, offset);
        if (gotA < 0 || gotB < 0 || gotA != gotB || !std::equal(bufferA.get(), bufferA.get() + gotA, bufferB.get()))
            return false;
        if (gotA == 0)
            return true;
        offset += gotA;
    }
}

} // namespace

TSourceDetection::TSourceDetection(TLumiva& Converter, std::string LocaleName)
    : Converter(Converter), Detector(Converter, std::move(LocaleName))
{
    // A detection library that cannot be loaded stops the run before its first file.
    DetectionLibraries();
}

std::string TSourceDetection::Detect(const std::string& Source, TLogger& Logger)
{
    std::string name;
    try {
        name = Detector.DetectFile(Source);
    } catch (const std::exception& E) {
        // The detector's open and read failures carry the pipeline's own messages.
        throw EConvertError(E.what());
    }
    if (name.empty())
        throw EConvertError("Cannot detect character encoding");
    Logger.Add("\t- Source encoding: " + name);
    return name;
}

bool TSourceDetection::AlreadyInTarget(const std::string& Detected, const std::string& ToEncoding,
                                       const std::string& TargetEncoding, const std::string& Source,
                                       int Converted) const
{
    TStringList groups;
    Converter.GetGroups(groups);
    if (!SameEncodingGroup(groups, Detected, ToEncoding) && !SameEncodingGroup(groups, Detected, TargetEncoding))
        return false;
    return SameContent(Source, Converted);
}
