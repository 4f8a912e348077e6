#include "run/StreamRun.h"

#include "engine/UnicodeForms.h"
#include "run/ContentError.h"
#include "run/StreamConverter.h"
#include "util/FileDescriptor.h"
#include "util/FolderCache.h"
#include "util/NewFile.h"

#include <cctype>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr const char* StandardInput = "-";

// "Invalid byte sequence at ..." as a filter's message goes on: "invalid byte sequence at ...".
std::string Lowered(std::string Text)
{
    if (!Text.empty() && Text[0] >= 'A' && Text[0] <= 'Z' && (Text.size() < 2 || !std::isupper(Text[1])))
        Text[0] = static_cast<char>(Text[0] - 'A' + 'a');
    return Text;
}

} // namespace

TStreamRun::TStreamRun(TLumiva& Engine, TLumiva& Counter, const TConvertOptions& Options, const TConvertSpecs& Specs,
                       std::function<void(const std::string& Line)> ReportError)
    : Engine(Engine), Counter(Counter), Options(Options), ReportError(std::move(ReportError))
{
    ::ResolveTargetEncoding(Options.ToEncoding, Specs.Utf8, Specs.Utf16, Specs.Utf32, TargetEncoding, Signature);
}

bool TStreamRun::Run(const TStringList& Inputs, int Input, int Output, const std::string& OutputFile)
{
    bool Clean = true;
    for (const std::string& Name : Inputs) {
        try {
            if (OutputFile.empty())
                ConvertOne(Name, Input, Output);
            else
                ConvertToFile(Name, Input, OutputFile);
        } catch (const EConvertError& E) {
            const auto* Content = dynamic_cast<const EContentError*>(&E);
            const std::string What = Lowered(Content ? Content->Where : std::string(E.what()));
            ReportError(Name == StandardInput ? What : Name + ": " + What);
            Clean = false;
        }
    }
    return Clean;
}

void TStreamRun::ConvertOne(const std::string& Name, int Input, int Output)
{
    const bool Stdin = Name == StandardInput;
    const TFd Source(Stdin ? Input : ::open(Name.c_str(), O_RDONLY | O_CLOEXEC), !Stdin);
    struct stat Info {};
    if (Source.Get() < 0 || ::fstat(Source.Get(), &Info) != 0 || S_ISDIR(Info.st_mode))
        throw EConvertError("Cannot open source file");
    TStreamConverter(Engine, Counter, Options.FromEncoding, TargetEncoding, Options.Translation, Options.BufferSize,
                     Signature)
        .Convert(Source.Get(), Output);
}

void TStreamRun::ConvertToFile(const std::string& Name, int Input, const std::string& OutputFile)
{
    TFolderCache Folders;
    TLanding Target;
    if (!Folders.Locate(OutputFile, Target) || !Target.Folder || (Target.Exists && !S_ISREG(Target.Old.st_mode)))
        throw EConvertError(OutputFile + ": Cannot create the output file");
    TNewFile File(Target.Folder);
    if (File.Handle() < 0)
        throw EConvertError(OutputFile + ": Cannot create temporary file");
    ConvertOne(Name, Input, File.Handle());
    const bool Placed = Target.Exists ? File.TakeOver(Target.Old, false) && File.Replace(Target.Name)
                                      : File.Link(Target.Name);
    if (!Placed)
        throw EConvertError(OutputFile + ": Cannot write the output file");
}
