#include "run/SourceDetection.h"

#include "detect/DetectionLibraries.h"
#include "engine/Lumiva.h"
#include "run/ConvertError.h"
#include "run/Logger.h"
#include "run/SourceFile.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <memory>

TSourceDetection::TSourceDetection(TLumiva& Converter, std::string LocaleName)
    : Detector(Converter, std::move(LocaleName))
{
    // A detection library that cannot be found stops the run before its first file; it is loaded
    // only for a sample that needs it.
    CheckDetectionLibraries();
}

std::string TSourceDetection::Detect(TSourceFile& Source, std::span<char> Room, TLogger& Logger)
{
    Weighed = false;
    if (Source.Fd() < 0)
        throw EConvertError("Cannot open source file");
    if (!Source.ReadSample(Room))
        throw EConvertError("Cannot read from source file");
    const std::string_view sample = Source.Sample();
    std::string name;
    try {
        name = Detector.Detect(sample.substr(0, TEncodingDetector::SampleLimit),
                               sample.size() <= TEncodingDetector::SampleLimit);
    } catch (const std::exception& e) {
        throw EConvertError(e.what());
    }
    Weighed = true;
    if (name.empty())
        throw EConvertError("Cannot detect character encoding");
    Logger.Add("\t- Source encoding: " + name);
    return name;
}

// Both are read to their ends in fixed memory with pread, so that their offsets stay where the
// conversion left them; false when either cannot be read.
bool TSourceDetection::AlreadyInTarget(int Source, int Converted)
{
    struct stat info;
    struct stat converted;
    if (Source < 0 || Converted < 0 || ::fstat(Source, &info) != 0 || ::fstat(Converted, &converted) != 0 ||
        converted.st_size != info.st_size)
        return false;
    constexpr std::size_t chunk = 64 * 1024;
    const auto bufferA = std::make_unique<char[]>(chunk);
    const auto bufferB = std::make_unique<char[]>(chunk);
    for (std::uint64_t offset = 0;;) {
        const ssize_t gotA = ReadUpTo(Source, bufferA.get(), chunk, offset);
        const ssize_t gotB = ReadUpTo(Converted, bufferB.get(), chunk, offset);
        if (gotA < 0 || gotB < 0 || gotA != gotB || !std::equal(bufferA.get(), bufferA.get() + gotA, bufferB.get()))
            return false;
        if (gotA == 0)
            return true;
        offset += static_cast<std::uint64_t>(gotA);
    }
}
