#include "run/ConvertThread.h"

#include "engine/Lumiva.h"
#include "engine/UnicodeForms.h"
#include "folders/TextCheck.h"
#include "run/ContentError.h"
#include "run/FileConverter.h"
#include "run/MainThread.h"
#include "run/SourceDetection.h"
#include "run/SourceFile.h"
#include "run/SourcesFile.h"
#include "settings/AutoDetect.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"
#include "util/Mysysutils.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <thread>
#include <utility>

namespace {

// Outcomes go to the main thread in batches small enough to take in at once.
constexpr std::size_t MaxOutcomeBatch = 1024;
constexpr std::chrono::milliseconds OutcomeInterval{50};

// A file left alone on purpose is no failure of its content: a No to the overwrite question
// skips it; a file whose encoding cannot be told, or that this run has already replaced, is
// refused.
std::string FailureResult(const std::string& Error)
{
    if (Error.starts_with("Not allowed to overwrite"))
        return "skipped";
    if (Error.starts_with("Cannot detect character encoding") ||
        Error.starts_with("Source file already converted in this run"))
        return "refused";
    return "failed";
}

} // namespace

const char* StateName(std::int32_t State)
{
    switch (State) {
    case csCanceled:
        return "Canceled";
    case csStopped:
        return "Stopped";
    case csCompleted:
        return "Completed";
    default:
        return "(Unknown)";
    }
}

TConvertThread::TConvertThread(TStringList Files, TLumiva* Converter, const TConvertOptions& Options,
                               const TConvertSpecs& Specs, TRunQuestions& Questions, TMainThread& MainThread,
                               const TFolderOptions& FolderOptions)
    : TConvertThread(nullptr, &MainThread, std::move(Files), Converter, Options, Specs, Questions, FolderOptions)
{
}

TConvertThread::TConvertThread(std::unique_ptr<TMainThread> MainThread, TStringList Files,
                               TLumiva* Converter, const TConvertOptions& Options, const TConvertSpecs& Specs,
                               TRunQuestions& Questions, const TFolderOptions& FolderOptions)
    : TConvertThread(std::move(MainThread), nullptr, std::move(Files), Converter, Options, Specs, Questions, FolderOptions)
{
}

TConvertThread::TConvertThread(std::unique_ptr<TMainThread> OwnMainThread, TMainThread* MainThread,
                               TStringList Files, TLumiva* Converter, const TConvertOptions& Options,
                               const TConvertSpecs& Specs, TRunQuestions& Questions,
                               const TFolderOptions& FolderOptions)
    : Files(std::move(Files)),
      Converter(Converter),
      Options(Options),
      Specs(Specs),
      Logger(std::make_unique<TLogger>()),
      OwnMainThread(std::move(OwnMainThread)),
      Channel(this->OwnMainThread ? this->OwnMainThread.get() : MainThread, Questions),
      Placement(
          this->Options, *Logger,
          [this](const std::string& Text) {
              TMessageDialogParams params;
              params.Text = Text;
              params.Buttons = OverwriteButtons;
              params.DefaultButton = 0;
              params.CancelButton = 4;
              params.FocusButton = 0;
              params.DialogType = 0;
              return Channel.AskMessageDialog(params);
          },
          [this] { Channel.RequestAbort(); }),
      FolderRun(this->Options, FolderOptions, *Logger, Channel)
{
    Logger->ErrorPrefix = "[Error] ";
    Logger->WarningPrefix = "[Warning] ";
}

TConvertThread::~TConvertThread() = default;

void TConvertThread::Start()
{
    if (Started.exchange(true))
        return;
    // Only a run with a listener goes to the main thread for its state texts.
    if (OnMessage)
        Channel.OnStatus = [this](const std::string& Text) { OnMessage(this, Text); };
    try {
        std::thread([this] { Run(); }).detach();
    } catch (...) {
        // Not running: the creator still owns the object and may try again.
        Started.store(false);
        throw;
    }
}

void TConvertThread::RequestAbort() noexcept
{
    Channel.RequestAbort();
}

void TConvertThread::Run() noexcept
{
    Execute();
    DoTerminate();
    std::function<void()> freed;
    try {
        freed = OnFreed;
    } catch (...) {
    }
    delete this;
    if (freed) {
        try {
            freed();
        } catch (...) {
        }
    }
}

// Body of the worker. Whatever happens, the state and the log describe it afterwards.
void TConvertThread::Execute()
{
    State = csCanceled;
    try {
        try {
            if (Prepare()) {
                State = csStopped;
                if (Process())
                    State = csCompleted;
            }
        } catch (const std::bad_alloc&) {
            Logger->AddError("Out of memory");
        } catch (const std::exception& e) {
            Logger->AddError(e.what());
        } catch (...) {
            Logger->AddError("Error ocurred");
        }
    } catch (const std::exception& e) {
        ShowErrorQuietly(&e);
    } catch (...) {
        ShowErrorQuietly(nullptr);
    }
}

// End of the run: the summary and OnDone, then OnTerminate, which is delivered even when the
// summary failed, so that whoever waits for the run (the progress dialog) is released.
void TConvertThread::DoTerminate()
{
    try {
        ReportSummary();
    } catch (const std::exception& e) {
        ShowErrorQuietly(&e);
    } catch (...) {
        ShowErrorQuietly(nullptr);
    }
    try {
        if (OnTerminate)
            Channel.Synchronize([this] { OnTerminate(this); });
    } catch (const std::exception& e) {
        ShowErrorQuietly(&e);
    } catch (...) {
        ShowErrorQuietly(nullptr);
    }
}

void TConvertThread::ResolveTargetEncoding()
{
    ::ResolveTargetEncoding(Options.ToEncoding, Specs.Utf8, Specs.Utf16, Specs.Utf32, TargetEncoding, Signature);
}

bool TConvertThread::Prepare()
{
    Channel.ReportStatus("Preparing...");
    WorkingFolder = CurrentFolder();
    for (const TSourceEntry& entry : SourceEncodings)
        FileEncodings[TidyFileName(GetLongFileName(ExpandFileName(entry.Path, WorkingFolder)))] = entry.Encoding;
    ResolveTargetEncoding();
    // The other jobs of a parallel run start on the first files found, so the output folder is
    // made before they go over; it is logged where it would be made after the expansion.
    bool madeEarly = false;
    const auto ready = [this, &madeEarly] {
        std::error_code error;
        if (CheckOnly || Options.Output != omDirectory || std::filesystem::is_directory(Options.OutputDirectory, error))
            return true;
        madeEarly = Placement.MakeOutputDirectory();
        return madeEarly;
    };
    const bool expanded = Queue ? Queue->Expand(QueueJob, FolderRun, Files, Replaced, ready) : FolderRun.Expand(Files);
    if (madeEarly)
        Placement.LogOutputDirectoryMade();
    if (!expanded)
        return false;
    // Folders that hold nothing to convert: said, and nothing is made for them.
    if (FileCount() == 0 && FolderRun.FolderGiven()) {
        Logger->AddWarning("No files to convert");
        return !Channel.CheckAbort();
    }
    std::error_code error;
    if (!madeEarly && !CheckOnly && Options.Output == omDirectory &&
        !std::filesystem::is_directory(Options.OutputDirectory, error))
        Placement.CreateOutputDirectory();
    return !Channel.CheckAbort();
}

bool TConvertThread::Process()
{
    // The other jobs wait for this one to have expanded the names and made the output folder.
    if (Queue && QueueJob == 0)
        Queue->Open();
    Channel.ReportStatus("Processing...");
    if (!Converter)
        throw Exception("No conversion engine");
    TFileConverter fileConverter(*Converter, Options.FromEncoding, TargetEncoding, Options.Translation,
                                 Options.BufferSize, Signature);
    // Detection libraries that cannot be found stop the run before its first file.
    bool detects = IsAutoDetect(Options.FromEncoding);
    for (const auto& [name, encoding] : FileEncodings)
        detects = detects || TSourcesFile::Detects(encoding);
    if (detects)
        SourceDetection();
    SampleRoom.resize(detects ? TSourceDetection::SampleSize : TextCheckSize);
    fileConverter.OnRead = [this](std::uint64_t Done, std::uint64_t Size) { TrackRead(Done, Size); };
    TFileQueue::TTurns turns(Queue.get(), QueueJob, *Logger, Files.Count(),
                             [this](std::size_t Index) { return WrittenFile(Index); });
    for (std::size_t i = turns.Next(); i != TFileQueue::NoIndex; i = turns.Next()) {
        if (Channel.CheckAbort())
            break;
        ProcessFile(i, fileConverter);
    }
    return !Channel.CheckAbort();
}

void TConvertThread::ProcessFile(std::size_t Index, TFileConverter& FileConverter)
{
    const std::string source = TakeSourceName(Index);
    // Rows left unticked in a review are no part of its run.
    if (OnlyListedSources && FileEncodings.count(source) == 0) {
        ReportProgress(static_cast<std::int32_t>(Index + 1), static_cast<std::int32_t>(FileCount()));
        return;
    }
    TFileOutcome outcome;
    outcome.Source = source;
    std::string detected;
    FileBytesRead = 0;
    if (Detection)
        Detection->Forget();
    TSourceFile file = FolderRun.OpenSource(Index, source, Placement);
    if (FolderRun.SkipsFile(Index, file, SampleRoom)) {
        outcome.Result = "skipped";
        ReportFile(Index, outcome, detected);
        ReportProgress(static_cast<std::int32_t>(Index + 1), static_cast<std::int32_t>(FileCount()));
        return;
    }
    if (CheckOnly) {
        CheckFile(Index, file, FileConverter);
        return;
    }
    try {
        const std::string destination = TakeDestination(Index, source);
        outcome.Destination = destination;
        Logger->Add("Convert character encoding:");
        Logger->Add("\t- Source file: " + source);
        Logger->Add("\t- Destination file: " + destination);
        // A file named twice would be converted again from its converted text, and a second
        // backup would then hold that text instead of the original.
        if (Options.Output == omOverwrite && Replaced.Contains(source))
            throw EConvertError("Source file already converted in this run: " + source);
        std::optional<TFileConverter> detectedConverter;
        TFileConverter& pipeline = SourcePipeline(file, FileConverter, detected, detectedConverter);
        const auto sourceTime = FolderRun.SourceTime(file);
        FolderRun.PrepareDestination(Index, destination, Placement);
        TTemporaryFile temporary = Placement.MakeTempFile(destination);
        bool unchanged = false;
        try {
            pipeline.ConvertFile(file, temporary.Handle());
            // Over the source, a file that would come out the same is left alone: no backup, and
            // its time stays.
            unchanged = Detection && Options.Output == omOverwrite &&
                        TSourceDetection::AlreadyInTarget(file.Fd(), temporary.Handle());
            if (!unchanged) {
                FolderRun.KeepTime(sourceTime, temporary.Handle(), destination);
                if (Options.Output == omOverwrite && Options.BackupSrcFiles)
                    Placement.BackupSourceFile(source, file.Fd());
                Placement.CopyToDestination(temporary, destination);
            }
        } catch (...) {
            Placement.DeleteTemporaryFile(temporary);
            throw;
        }
        Placement.DeleteTemporaryFile(temporary);
        if (Options.Output == omOverwrite && !unchanged)
            Replaced.Add(destination);
        Logger->Add(unchanged ? "... Already in target encoding" : "... Succeeded");
        outcome.Result = unchanged ? "already" : "ok";
    } catch (const EConvertError& e) {
        LogFailure(e, outcome);
    }
    ReportFile(Index, outcome, detected);
    ReportProgress(static_cast<std::int32_t>(Index + 1), static_cast<std::int32_t>(FileCount()));
}

void TConvertThread::CheckFile(std::size_t Index, TSourceFile& File, TFileConverter& FileConverter)
{
    const std::string source = SourceFileName(Index);
    TFileOutcome outcome;
    outcome.Source = source;
    std::string detected;
    try {
        Logger->Add("Check character encoding:");
        Logger->Add("\t- Source file: " + source);
        std::optional<TFileConverter> detectedConverter;
        SourcePipeline(File, FileConverter, detected, detectedConverter).CheckFile(File);
        Logger->Add("... OK");
        outcome.Result = "ok";
    } catch (const EConvertError& e) {
        LogFailure(e, outcome);
    }
    ReportFile(Index, outcome, detected);
    ReportProgress(static_cast<std::int32_t>(Index + 1), static_cast<std::int32_t>(FileCount()));
}

// Hands the outcome of one file to OnFileEnded and OnOutcomes, with what only the run knows.
void TConvertThread::ReportFile(std::size_t Index, TFileOutcome& Outcome, const std::string& Detected)
{
    if (!OnFileEnded && !OnOutcomes)
        return;
    const bool detects = DetectsFile(Outcome.Source);
    Outcome.Encoding = detects || !Detected.empty() ? Detected : Options.FromEncoding;
    if (Detection && detects)
        Outcome.Guesses = Detection->Guesses();
    Outcome.BytesRead = FileBytesRead;
    struct stat written;
    if ((Outcome.Result == "ok") && !Outcome.Destination.empty() && ::stat(Outcome.Destination.c_str(), &written) == 0)
        Outcome.BytesWritten = static_cast<std::uint64_t>(written.st_size);
    if (OnOutcomes)
        RecordOutcome(Index, Outcome);
    if (OnFileEnded)
        OnFileEnded(Index, Outcome);
}

// The run's pipeline, or one for the file's own encoding (given, or with "Auto-detect" detected in
// Source; logged, returned in Detected and kept in Holder); raises EConvertError when it cannot
// be told.
TFileConverter& TConvertThread::SourcePipeline(TSourceFile& File, TFileConverter& FileConverter,
                                              std::string& Detected, std::optional<TFileConverter>& Holder)
{
    const auto own = FileEncodings.find(File.Name());
    if (DetectsFile(File.Name())) {
        Detected = SourceDetection().Detect(File, SampleRoom, *Logger);
    } else if (own != FileEncodings.end()) {
        Detected = own->second;
        Logger->Add("\t- Source encoding: " + Detected);
    } else {
        return FileConverter;
    }
    TFileConverter& pipeline =
        Holder.emplace(*Converter, Detected, TargetEncoding, Options.Translation, Options.BufferSize, Signature);
    pipeline.OnRead = FileConverter.OnRead;
    return pipeline;
}

bool TConvertThread::DetectsFile(const std::string& Source) const
{
    const auto own = FileEncodings.find(Source);
    return own != FileEncodings.end() ? TSourcesFile::Detects(own->second) : IsAutoDetect(Options.FromEncoding);
}

TSourceDetection& TConvertThread::SourceDetection()
{
    if (!Detection) {
        const char* locale = std::setlocale(LC_CTYPE, nullptr);
        Detection = std::make_unique<TSourceDetection>(*Converter, locale != nullptr ? locale : "");
    }
    return *Detection;
}

void TConvertThread::RecordOutcome(std::size_t Index, TFileOutcome Outcome)
{
    Outcome.Name = FolderRun.FoundPath(Index);
    if (Outcome.Name.empty())
        Outcome.Name = Outcome.Source;
    Outcome.Size = FileSizeOf(Outcome.Source);
    if (!Outcome.Error.empty()) {
        DescribeFailure(Outcome);
    } else if (Outcome.Result == "skipped") {
        Outcome.Kind = TOutcomeKind::Skipped;
        Outcome.Encoding.clear();
    } else if (Outcome.Result == "already") {
        Outcome.Kind = TOutcomeKind::AlreadyInTarget;
    } else if (CheckOnly) {
        if (!EncodingGroups) {
            EncodingGroups.emplace();
            Converter->GetGroups(*EncodingGroups);
        }
        Outcome.Kind = ReadsAsTarget(*EncodingGroups, Outcome.Encoding, Options.ToEncoding, TargetEncoding, Signature,
                                     Outcome.Source)
                           ? TOutcomeKind::AlreadyInTarget
                           : TOutcomeKind::Ok;
    } else {
        Outcome.Kind = TOutcomeKind::Converted;
    }
    if (Outcome.Text.empty())
        Outcome.Text = OutcomeText(Outcome.Kind);
    // A file the detector refused still has what it weighed; one it could not read has nothing.
    if (Outcome.Encoding.empty() && Outcome.Kind != TOutcomeKind::Undetected)
        Outcome.Guesses.clear();
    Outcomes.push_back(std::move(Outcome));
    const auto now = std::chrono::steady_clock::now();
    if (Outcomes.size() >= MaxOutcomeBatch || now - OutcomesSent >= OutcomeInterval)
        FlushOutcomes();
}

void TConvertThread::FlushOutcomes()
{
    if (!OnOutcomes || Outcomes.empty())
        return;
    Channel.Synchronize([this] { OnOutcomes(this, Outcomes); });
    Outcomes.clear();
    OutcomesSent = std::chrono::steady_clock::now();
}

// The error line, what in the content stopped the file and where when that is known, the outcome.
void TConvertThread::LogFailure(const EConvertError& E, TFileOutcome& Outcome)
{
    Logger->AddError(E.what());
    Outcome.Error = E.what();
    Outcome.Result = FailureResult(Outcome.Error);
    if (const auto* content = dynamic_cast<const EContentError*>(&E)) {
        Logger->Add("\t- " + content->Where);
        Outcome.Where = content->Where;
    }
    Logger->Add("... Failed");
}

std::vector<std::string> TConvertThread::WrittenFile(std::size_t Index) const
{
    Named.Index = TFileQueue::NoIndex;
    std::string source = SourceFileName(Index);
    if (Options.Output != omOverwrite) {
        std::string destination = FolderRun.DestinationFileName(Index, source, Placement);
        Named = {Index, std::move(source), destination, true};
        return {std::move(destination)};
    }
    // Over the source, one file may go by several names. Replacing it gives it a new inode, so
    // the resolved path is the key that holds while an earlier naming is converted; the device
    // and inode join the names of one file that hard links give it.
    std::vector<std::string> keys;
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(source.c_str(), nullptr), &std::free);
    keys.push_back(resolved ? std::string(resolved.get()) : source);
    if (const auto identity = FileIdentity(source))
        keys.push_back(std::to_string(identity->first) + ":" + std::to_string(identity->second));
    Named = {Index, std::move(source), {}, false};
    return keys;
}

std::string TConvertThread::TakeSourceName(std::size_t Index)
{
    return Named.Index == Index ? std::move(Named.Source) : SourceFileName(Index);
}

std::string TConvertThread::TakeDestination(std::size_t Index, const std::string& Source)
{
    if (Named.Index == Index && Named.HasDestination) {
        Named.Index = TFileQueue::NoIndex;
        return std::move(Named.Destination);
    }
    return FolderRun.DestinationFileName(Index, Source, Placement);
}

std::size_t TConvertThread::FileCount() const
{
    return Queue ? Queue->Count() : Files.Count();
}

std::string TConvertThread::SourceFileName(std::size_t Index) const
{
    return TidyFileName(GetLongFileName(ExpandFileName(Queue ? Queue->File(Index).Name : Files[Index], WorkingFolder)));
}

void TConvertThread::ReportSummary()
{
    const char* name = StateName(State);
    Channel.ReportStatus(name);
    FlushOutcomes();
    Logger->Add(std::string(name) + " - " + std::to_string(Logger->ErrorCount) + " errors, " +
                std::to_string(Logger->WarningCount) + " warnings");
    if (OnDone)
        Channel.Synchronize([this] { OnDone(this, State, *Logger); });
}

void TConvertThread::ReportProgress(std::int32_t Position, std::int32_t Max)
{
    if (OnProgress)
        Channel.Synchronize([this, Position, Max] { OnProgress(this, Position, Max); });
    if (ReadTracker.FileEnded(Position, std::chrono::steady_clock::now(), ReadReportInterval) && OnReadProgress)
        Channel.Synchronize([this] { OnReadProgress(this, ReadTracker.Current()); });
}

void TConvertThread::TrackRead(std::uint64_t Done, std::uint64_t Size)
{
    FileBytesRead = Done;
    if (ReadTracker.Read(Done, Size, std::chrono::steady_clock::now(), ReadReportInterval) && OnReadProgress)
        Channel.Synchronize([this] { OnReadProgress(this, ReadTracker.Current()); });
}

void TConvertThread::ShowErrorQuietly(const std::exception* E) noexcept
{
    try {
        Channel.ShowError(E);
    } catch (...) {
    }
}
