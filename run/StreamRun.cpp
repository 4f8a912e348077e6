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

TStreamRun::TStreamRun(TLumiva& Converter, TLumiva& Counter, const TConvertOptions& Options, const TConvertSpecs& Specs,
                       std::function<void(const std::string& Line)> ReportError)
    : Converter(Converter), Counter(Counter), Options(Options), ReportError(std::move(ReportError))
{
    ::ResolveTargetEncoding(Options.ToEncoding, Specs.Utf8, Specs.Utf16, Specs.Utf32, TargetEncoding, Signature);
    if (IsAutoDetect(Options.FromEncoding)) {
        const char* locale = std::setlocale(LC_CTYPE, nullptr);
        Detector = std::make_unique<TEncodingDetector>(Converter, locale != nullptr ? locale : "");
    }
}

TStreamRun::~TStreamRun() = default;

bool TStreamRun::Run(const TStringList& Inputs, int Input, int Output, const std::string& OutputFile)
{
    bool clean = true;
    const std::string folder = CurrentFolder();
    for (const std::string& name : Inputs) {
        TFileOutcome outcome;
        outcome.Source = name == StandardInput ? name : TidyFileName(ExpandFileName(name, folder));
        if (!CheckOnly)
            outcome.Destination = OutputFile.empty() ? StandardInput : TidyFileName(ExpandFileName(OutputFile, folder));
        if (!Detector)
            outcome.Encoding = Options.FromEncoding;
        try {
            if (OutputFile.empty() || CheckOnly)
                ConvertOne(name, Input, CheckOnly ? -1 : Output, outcome);
            else
                ConvertToFile(name, Input, OutputFile, outcome);
            outcome.Result = "ok";
        } catch (const EConvertError& e) {
            const auto* content = dynamic_cast<const EContentError*>(&e);
            const std::string what = Lowered(content ? content->Where : std::string(e.what()));
            ReportError(name == StandardInput ? what : name + ": " + what);
            clean = false;
            outcome.Error = e.what();
            outcome.Where = content ? content->Where : std::string();
            outcome.Result = outcome.Error.starts_with(UndetectedError) ? "refused" : "failed";
            // Nothing reached the file -o names.
            if (!OutputFile.empty())
                outcome.BytesWritten = 0;
        }
        if (OnFileDone)
            OnFileDone(outcome);
    }
    return clean;
}

// The encoding of Source told from its first bytes, read again by the conversion when Source can
// be read from its start, kept in Head when it cannot.
std::string TStreamRun::Detect(int Source, std::string& Head, TFileOutcome& Outcome)
{
    struct stat info {};
    const bool seekable = ::fstat(Source, &info) == 0 && S_ISREG(info.st_mode) && ::lseek(Source, 0, SEEK_CUR) == 0;
    Head.resize(TEncodingDetector::SampleLimit + 1);
    const ssize_t got = seekable ? ReadUpTo(Source, Head.data(), Head.size(), 0) : ReadUpTo(Source, Head.data(), Head.size());
    if (got < 0)
        throw EConvertError("Cannot read from source file");
    Head.resize(static_cast<std::size_t>(got));
    const bool complete = Head.size() <= TEncodingDetector::SampleLimit;
    const std::string name =
        Detector->Detect(std::string_view(Head).substr(0, TEncodingDetector::SampleLimit), complete);
    Outcome.Guesses = Detector->Guesses();
    if (seekable)
        Head.clear();
    if (name.empty())
        throw EConvertError(UndetectedError);
    Outcome.Encoding = name;
    return name;
}

void TStreamRun::ConvertOne(const std::string& Name, int Input, int Output, TFileOutcome& Outcome)
{
    const bool fromStdin = Name == StandardInput;
    const TFd source(fromStdin ? Input : ::open(Name.c_str(), O_RDONLY | O_CLOEXEC), !fromStdin);
    struct stat info {};
    if (source.Get() < 0 || ::fstat(source.Get(), &info) != 0 || S_ISDIR(info.st_mode))
        throw EConvertError("Cannot open source file");
    std::string head;
    const std::string from = Detector ? Detect(source.Get(), head, Outcome) : Options.FromEncoding;
    TStreamConverter stream(Converter, Counter, from, TargetEncoding, Options.Translation, Options.BufferSize,
                            Signature);
    try {
        stream.Convert(source.Get(), Output, head);
    } catch (const EConvertError&) {
        Outcome.BytesRead = stream.BytesRead;
        Outcome.BytesWritten = stream.BytesWritten;
        throw;
    }
    Outcome.BytesRead = stream.BytesRead;
    Outcome.BytesWritten = stream.BytesWritten;
}

void TStreamRun::ConvertToFile(const std::string& Name, int Input, const std::string& OutputFile,
                               TFileOutcome& Outcome)
{
    TFolderCache folders;
    TLanding target;
    if (!folders.Locate(OutputFile, target) || !target.Folder || (target.Exists && !S_ISREG(target.Old.st_mode)))
        throw EConvertError(OutputFile + ": Cannot create the output file");
    TNewFile file(target.Folder);
    if (file.Handle() < 0)
        throw EConvertError(OutputFile + ": Cannot create temporary file");
    ConvertOne(Name, Input, file.Handle(), Outcome);
    const bool placed = target.Exists ? file.TakeOver(target.Old, false) && file.Replace(target.Name)
                                      : file.Link(target.Name);
    if (!placed)
        throw EConvertError(OutputFile + ": Cannot write the output file");
}
