#include "run/SourceDetection.h"

#include "detect/DetectionLibraries.h"
#include "engine/Lumiva.h"
#include "run/ConvertError.h"
#include "run/Logger.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <memory>

TSourceDetection::TSourceDetection(TLumiva& Converter, std::string LocaleName)
    : Detector(Converter, std::move(LocaleName))
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

// The source is read to its end in fixed memory, against the converted file read with pread, so
// that its offset stays where the conversion left it; false when either cannot be read.
bool TSourceDetection::AlreadyInTarget(const std::string& Source, int Converted)
{
    struct stat info;
    struct stat converted;
    const TFd source = OpenRegularFile(Source, info);
    if (source.Get() < 0 || Converted < 0 || ::fstat(Converted, &converted) != 0 ||
        converted.st_size != info.st_size)
        return false;
    constexpr std::size_t Chunk = 64 * 1024;
    const auto bufferA = std::make_unique<char[]>(Chunk);
    const auto bufferB = std::make_unique<char[]>(Chunk);
    for (std::uint64_t offset = 0;;) {
        const ssize_t gotA = ReadUpTo(source.Get(), bufferA.get(), Chunk, offset);
        const ssize_t gotB = ReadUpTo(Converted, bufferB.get(), Chunk, offset);
        if (gotA < 0 || gotB < 0 || gotA != gotB || !std::equal(bufferA.get(), bufferA.get() + gotA, bufferB.get()))
            return false;
        if (gotA == 0)
            return true;
        offset += static_cast<std::uint64_t>(gotA);
    }
}
