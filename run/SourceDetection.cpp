#include "run/SourceDetection.h"

#include "detect/EncodingGroups.h"
#include "engine/Lumiva.h"
#include "run/ConvertError.h"
#include "run/Logger.h"

#include <fstream>
#include <memory>

namespace {

// Both files read to their ends in fixed memory; false when either cannot be read.
bool SameContent(const std::string& A, const std::string& B)
{
    std::ifstream a(A, std::ios::binary), b(B, std::ios::binary);
    if (!a || !b)
        return false;
    constexpr std::size_t Chunk = 64 * 1024;
    const auto bufferA = std::make_unique<char[]>(Chunk);
    const auto bufferB = std::make_unique<char[]>(Chunk);
    for (;;) {
        a.read(bufferA.get(), Chunk);
        b.read(bufferB.get(), Chunk);
        const std::streamsize gotA = a.gcount(), gotB = b.gcount();
        if (gotA != gotB || !std::equal(bufferA.get(), bufferA.get() + gotA, bufferB.get()))
            return false;
        if (gotA == 0 || a.eof() || b.eof())
            return a.eof() && b.eof() && !a.bad() && !b.bad();
    }
}

} // namespace

TSourceDetection::TSourceDetection(TLumiva& Engine, std::string LocaleName)
    : Engine(Engine), Detector(Engine, std::move(LocaleName))
{
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
                                       const std::string& Converted) const
{
    TStringList groups;
    Engine.GetGroups(groups);
    if (!SameEncodingGroup(groups, Detected, ToEncoding) && !SameEncodingGroup(groups, Detected, TargetEncoding))
        return false;
    return SameContent(Source, Converted);
}
