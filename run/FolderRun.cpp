#include "run/FolderRun.h"

#include "folders/InputExpansion.h"
#include "folders/TextCheck.h"
#include "run/ConvertError.h"
#include "run/Logger.h"
#include "run/OutputPlacement.h"
#include "run/RunChannel.h"
#include "util/BeneathPath.h"
#include "util/FileDescriptor.h"
#include "util/Mysysutils.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <iterator>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The found count is shown no more often than this, so a big tree is not slowed by the window.
constexpr auto ReportInterval = std::chrono::milliseconds(100);

// Files found go over to the other jobs of a parallel run a few at first, so that they start at
// once, and then in bigger shares, so that the queue's lock is rare.
constexpr std::size_t FirstShow = 16;
constexpr std::size_t ShowMore = 128;

// The folder part of a relative path ("a/b" of "a/b/c.txt"), empty for a bare name.
std::string FolderPart(const std::string& Relative)
{
    const std::size_t slash = Relative.rfind('/');
    return slash == std::string::npos ? std::string() : Relative.substr(0, slash);
}

std::shared_ptr<TFolderHandle> AdoptFolder(TFd Folder, const std::string& Path)
{
    return std::make_shared<TFolderHandle>(TFolderHandle::Adopt(std::move(Folder), Path));
}

std::string WithSlash(std::string Folder)
{
    if (Folder.empty() || Folder.back() != '/')
        Folder += '/';
    return Folder;
}

} // namespace

TWalkRules RunWalkRules(const TConvertOptions& Options, const TFolderOptions& Folders)
{
    TWalkRules rules;
    rules.IncludeSubfolders = Folders.IncludeSubfolders;
    rules.FileNames = TFileMasks(Folders.FileNames, false);
    rules.SkipNames = TFileMasks(Folders.SkipNames, true);
    if (Options.Output == omDirectory) {
        struct stat info;
        if (::stat(Options.OutputDirectory.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            rules.SkipFolder = std::pair<std::uint64_t, std::uint64_t>(info.st_dev, info.st_ino);
    }
    const std::string& prefix = Options.Output == omPrefix ? Options.OutputPrefix
                              : Options.Output == omOverwrite && Options.BackupSrcFiles ? Options.BackupPrefix
                                                                                        : std::string();
    if (!prefix.empty())
        rules.SkipPrefixes.push_back(prefix);
    return rules;
}

TFolderRun::TFolderRun(const TConvertOptions& Options, const TFolderOptions& Folders, TLogger& Logger,
                       TRunChannel& Channel)
    : Options(Options), Folders(Folders), Logger(Logger), Channel(Channel)
{
}

bool TFolderRun::Expand(TStringList& Files)
{
    return Expand(Files, NamesFolder(Files));
}

bool TFolderRun::Expand(TStringList& Files, bool NamesFolder)
{
    Walked = NamesFolder;
    if (!Walked)
        return true;
    Channel.ReportStatus(SearchingStatus);
    LastReport = std::chrono::steady_clock::now();
    TFolderWalker walker(
        RunWalkRules(Options, Folders),
        [this](const std::string& Folder) { Logger.AddError("Cannot read folder: " + Folder); },
        [this](std::size_t Found) { return FolderWalked(Found); });
    Inputs.clear();
    const bool finished = TInputExpansion(walker).Expand(Files, Inputs);
    // The names move into the run's list; only the relative paths stay here.
    TStringList names;
    for (TInputFile& input : Inputs)
        names.Add(std::move(input.Name));
    Files = std::move(names);
    return finished && !Channel.CheckAbort();
}

bool TFolderRun::Expand(TStringList& Names, const std::function<void(std::vector<TInputFile>& More)>& Show)
{
    Walked = false;
    this->Show = &Show;
    Pending.clear();
    ShownCount = 0;
    // The first few go over at once, so that the other jobs start while the rest is looked at.
    ShowEvery = FirstShow;
    // A bad mask stops the run at the first folder, before any file: nothing goes over early then.
    try {
        RunWalkRules(Options, Folders);
    } catch (const std::exception&) {
        ShowEvery = std::numeric_limits<std::size_t>::max();
    }
    bool finished = true;
    try {
        for (std::size_t i = 0; i < Names.Count() && finished; ++i) {
            if (!NamesFolder(Names, i, i + 1)) {
                Pending.push_back({std::move(Names[i]), {}});
            } else {
                if (!Walked) {
                    Walked = true;
                    Channel.ReportStatus(SearchingStatus);
                    LastReport = std::chrono::steady_clock::now();
                }
                // Rules of their own for each folder: an output folder made meanwhile is left out,
                // as a walk over it before it existed would have left it out. Files go over only
                // between folders while the output folder is missing, since the first that go
                // make it, and a walk under way would not leave it out.
                TWalkRules rules = RunWalkRules(Options, Folders);
                const std::string folder = WalkFolderName(Names[i]);
                WalkHolds = Options.Output == omDirectory && !rules.SkipFolder && OutputMayLieIn(folder);
                TFolderWalker walker(
                    std::move(rules),
                    [this](const std::string& Folder) { Logger.AddError("Cannot read folder: " + Folder); },
                    [this](std::size_t Found) { return FolderWalked(ShownCount + Found); });
                finished = walker.Walk(folder, Pending);
                WalkHolds = false;
            }
            ShowPending(ShowEvery);
        }
    } catch (...) {
        this->Show = nullptr;
        WalkHolds = false;
        throw;
    }
    // A stopped run hands over nothing more.
    if (finished)
        ShowPending(0);
    this->Show = nullptr;
    return finished && !Channel.CheckAbort();
}

void TFolderRun::ShowPending(std::size_t Least)
{
    if (!Show || Pending.empty() || Pending.size() < Least)
        return;
    // A big folder's first files go over on their own, before the rest is taken in.
    if (ShownCount == 0 && Pending.size() > FirstShow) {
        std::vector<TInputFile> first(std::make_move_iterator(Pending.begin()),
                                      std::make_move_iterator(Pending.begin() + FirstShow));
        Pending.erase(Pending.begin(), Pending.begin() + FirstShow);
        ShownCount += first.size();
        (*Show)(first);
    }
    ShownCount += Pending.size();
    (*Show)(Pending);
    Pending.clear();
    ShowEvery = ShowMore;
}

// The nearest of the output folder's folders that exists is Folder or lies below it, links
// resolved: the output folder, once made, may be met in Folder's walk.
bool TFolderRun::OutputMayLieIn(const std::string& Folder) const
{
    std::error_code error;
    std::filesystem::path existing = std::filesystem::absolute(Options.OutputDirectory, error);
    while (!error && existing.has_relative_path() && !std::filesystem::exists(existing, error))
        existing = existing.parent_path();
    const std::string output = std::filesystem::canonical(existing, error).string();
    const std::string walked = std::filesystem::canonical(Folder.empty() ? "/" : Folder, error).string();
    // When either cannot be told, the files wait for the end of the walk, which is always right.
    if (error)
        return true;
    return walked == "/" || output == walked || output.starts_with(walked + "/");
}

bool TFolderRun::FolderWalked(std::size_t Found)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - LastReport >= ReportInterval) {
        LastReport = now;
        Channel.ReportStatus(std::string(SearchingStatus) + " " + std::to_string(Found));
    }
    // A tree of many folders goes over folder by folder.
    if (!WalkHolds)
        ShowPending(ShowEvery);
    return !Channel.CheckAbort();
}

const TInputFile* TFolderRun::FoundFile(std::size_t Index) const noexcept
{
    const TInputFile* file = Shared ? (Index < Shared->Count() ? &(*Shared)[Index] : nullptr)
                                    : (Index < Inputs.size() ? &Inputs[Index] : nullptr);
    return file && file->Found() ? file : nullptr;
}

bool TFolderRun::Mirrored(std::size_t Index) const
{
    return Options.Output == omDirectory && FoundFile(Index);
}

std::string TFolderRun::FoundPath(std::size_t Index) const
{
    const TInputFile* file = FoundFile(Index);
    if (!file)
        return {};
    const std::string& relative = file->Relative;
    const std::size_t slash = relative.find('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

TSourceFile TFolderRun::OpenSource(std::size_t Index, const std::string& Source, TOutputPlacement& Placement)
{
    Placement.ForgetFolder();
    if (!FoundFile(Index))
        return TSourceFile(Source);
    // Source is the walked folder's path, then Below: the walked folder is opened by its path, as
    // the walk opened it, and everything below it relative to it.
    const std::string below = FoundPath(Index);
    const std::string folderPath = ExtractFilePath(Source);
    if (!SourceFolder || SourceFolder->Path != folderPath) {
        SourceFolder = TOpenFolder{folderPath, nullptr};
        const std::string inside = FolderPart(below);
        if (Source.size() > below.size() && Source.ends_with("/" + below)) {
            const std::string root = Source.substr(0, Source.size() - below.size());
            const TFd rootFd(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            TFd folder = rootFd.Get() < 0 ? TFd() : OpenBeneath(rootFd.Get(), inside, O_PATH | O_DIRECTORY);
            if (folder.Get() >= 0)
                SourceFolder->Folder = AdoptFolder(std::move(folder), folderPath);
        }
    }
    if (Options.Output == omPrefix || Options.Output == omOverwrite)
        Placement.UseFolder(folderPath, SourceFolder->Folder);
    return TSourceFile(Source, SourceFolder->Folder, ExtractFileName(Source));
}

bool TFolderRun::SkipsFile(std::size_t Index, TSourceFile& Source, std::span<char> Room)
{
    if (!Folders.SkipNonText || !FoundFile(Index) || !Source.ReadSample(Room) ||
        !LooksBinary(Source.Sample(), Options.FromEncoding))
        return false;
    Logger.Add("Skipped, not a text file: " + Source.Name());
    return true;
}

std::string TFolderRun::DestinationFileName(std::size_t Index, const std::string& Source,
                                            const TOutputPlacement& Placement) const
{
    if (!Mirrored(Index))
        return Placement.DestinationFileName(Source);
    return WithSlash(Options.OutputDirectory) + FoundFile(Index)->Relative;
}

void TFolderRun::PrepareDestination(std::size_t Index, const std::string& Destination, TOutputPlacement& Placement)
{
    if (!Mirrored(Index))
        return;
    const std::string folderPath = ExtractFilePath(Destination);
    if (!ResultFolder || ResultFolder->Path != folderPath) {
        ResultFolder.reset();
        const std::string output = WithSlash(Options.OutputDirectory);
        const std::string inside = FolderPart(FoundFile(Index)->Relative);
        std::string failed = inside.substr(0, inside.find('/'));
        const TFd root(::open(output.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        TFd folder = root.Get() < 0 ? TFd()
                                    : MakeFoldersBeneath(
                                          root.Get(), inside,
                                          [&](const std::string& Made) {
                                              Logger.Add("Created output directory: " + output + Made);
                                          },
                                          failed);
        if (folder.Get() < 0)
            throw EConvertError("Cannot create output directory: " + output + failed);
        ResultFolder = TOpenFolder{folderPath, AdoptFolder(std::move(folder), folderPath)};
    }
    Placement.UseFolder(folderPath, ResultFolder->Folder);
}

std::optional<std::timespec> TFolderRun::SourceTime(TSourceFile& Source) const
{
    if (!Folders.KeepTime || Source.Fd() < 0)
        return std::nullopt;
    return Source.Info().st_mtim;
}

void TFolderRun::KeepTime(const std::optional<std::timespec>& Time, int Result, const std::string& Destination)
{
    if (!Folders.KeepTime)
        return;
    if (!Time || !SetModificationTime(Result, {}, *Time))
        Logger.AddWarning("Cannot keep modification time: " + Destination);
}
