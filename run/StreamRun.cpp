#include "run/StreamRun.h"

#include "detect/EncodingDetector.h"
#include "engine/UnicodeForms.h"
#include "settings/AutoDetect.h"
#include "util/Mysysutils.h"
#include "run/ContentError.h"
#include "run/StreamConverter.h"
#include "util/FileDescriptor.h"
#include "util/FolderCache.h"
#include "util/NewFile.h"

#include <cctype>
#include <clocale>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr const char* StandardInput = "-";
constexpr const char* UndetectedError = "Cannot detect character encoding";

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
    if (IsAutoDetect(Options.FromEncoding)) {
        const char* Locale = std::setlocale(LC_CTYPE, nullptr);
        Detector = std::make_unique<TEncodingDetector>(Engine, Locale != nullptr ? Locale : "");
    }
}

TStreamRun::~TStreamRun() = default;

bool TStreamRun::Run(const TStringList& Inputs, int Input, int Output, const std::string& OutputFile)
{
    bool Clean = true;
    const std::string Folder = CurrentFolder();
    for (const std::string& Name : Inputs) {
        TFileOutcome Outcome;
        Outcome.Source = Name == StandardInput ? Name : TidyFileName(ExpandFileName(Name, Folder));
        if (!CheckOnly)
            Outcome.Destination = OutputFile.empty() ? StandardInput : TidyFileName(ExpandFileName(OutputFile, Folder));
        if (!Detector)
            Outcome.Encoding = Options.FromEncoding;
        try {
            if (OutputFile.empty() || CheckOnly)
                ConvertOne(Name, Input, CheckOnly ? -1 : Output, Outcome);
            else
                ConvertToFile(Name, Input, OutputFile, Outcome);
            Outcome.Result = "ok";
        } catch (const EConvertError& E) {
            const auto* Content = dynamic_cast<const EContentError*>(&E);
            const std::string What = Lowered(Content ? Content->Where : std::string(E.what()));
            ReportError(Name == StandardInput ? What : Name + ": " + What);
            Clean = false;
            Outcome.Error = E.what();
            Outcome.Where = Content ? Content->Where : std::string();
            Outcome.Result = Outcome.Error.starts_with(UndetectedError) ? "refused" : "failed";
            // Nothing reached the file -o names.
            if (!OutputFile.empty())
                Outcome.BytesWritten = 0;
        }
        if (OnFileDone)
            OnFileDone(Outcome);
    }
    return Clean;
}

// The encoding of Source told from its first bytes, read again by the conversion when Source can
// be read from its start, kept in Head when it cannot.
std::string TStreamRun::Detect(int Source, std::string& Head, TFileOutcome& Outcome)
{
    struct stat Info {};
    const bool Seekable = ::fstat(Source, &Info) == 0 && S_ISREG(Info.st_mode) && ::lseek(Source, 0, SEEK_CUR) == 0;
    Head.resize(TEncodingDetector::SampleLimit + 1);
    const ssize_t Got = Seekable ? ReadUpTo(Source, Head.data(), Head.size(), 0) : ReadUpTo(Source, Head.data(), Head.size());
    if (Got < 0)
        throw EConvertError("Cannot read from source file");
    Head.resize(static_cast<std::size_t>(Got));
    const bool Complete = Head.size() <= TEncodingDetector::SampleLimit;
    const std::string Name =
        Detector->Detect(std::string_view(Head).substr(0, TEncodingDetector::SampleLimit), Complete);
    Outcome.Guesses = Detector->Guesses();
    if (Seekable)
        Head.clear();
    if (Name.empty())
        throw EConvertError(UndetectedError);
    Outcome.Encoding = Name;
    return Name;
}

void TStreamRun::ConvertOne(const std::string& Name, int Input, int Output, TFileOutcome& Outcome)
{
    const bool Stdin = Name == StandardInput;
    const TFd Source(Stdin ? Input : ::open(Name.c_str(), O_RDONLY | O_CLOEXEC), !Stdin);
    struct stat Info {};
    if (Source.Get() < 0 || ::fstat(Source.Get(), &Info) != 0 || S_ISDIR(Info.st_mode))
        throw EConvertError("Cannot open source file");
    std::string Head;
    const std::string From = Detector ? Detect(Source.Get(), Head, Outcome) : Options.FromEncoding;
    TStreamConverter Converter(Engine, Counter, From, TargetEncoding, Options.Translation, Options.BufferSize,
                               Signature);
    try {
        Converter.Convert(Source.Get(), Output, Head);
    } catch (const EConvertError&) {
        Outcome.BytesRead = Converter.BytesRead;
        Outcome.BytesWritten = Converter.BytesWritten;
        throw;
    }
    Outcome.BytesRead = Converter.BytesRead;
    Outcome.BytesWritten = Converter.BytesWritten;
}

void TStreamRun::ConvertToFile(const std::string& Name, int Input, const std::string& OutputFile,
                               TFileOutcome& Outcome)
{
    TFolderCache Folders;
    TLanding Target;
    if (!Folders.Locate(OutputFile, Target) || !Target.Folder || (Target.Exists && !S_ISREG(Target.Old.st_mode)))
        throw EConvertError(OutputFile + ": Cannot create the output file");
    TNewFile File(Target.Folder);
    if (File.Handle() < 0)
        throw EConvertError(OutputFile + ": Cannot create temporary file");
    ConvertOne(Name, Input, File.Handle(), Outcome);
    const bool Placed = Target.Exists ? File.TakeOver(Target.Old, false) && File.Replace(Target.Name)
                                      : File.Link(Target.Name);
    if (!Placed)
        throw EConvertError(OutputFile + ": Cannot write the output file");
}
