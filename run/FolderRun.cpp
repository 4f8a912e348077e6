#include "run/FolderRun.h"

#include "folders/InputExpansion.h"
#include "folders/TextCheck.h"
#include "run/ConvertError.h"
#include "run/Logger.h"
#include "run/OutputPlacement.h"
#include "run/RunChannel.h"
#include "util/FileDescriptor.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The found count is shown no more often than this, so a big tree is not slowed by the window.
constexpr auto ReportInterval = std::chrono::milliseconds(100);

bool IsDirectory(const std::string& Name)
{
    struct stat info;
    return ::stat(Name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string WithoutTrailingSlash(std::string Name)
{
    while (Name.size() > 1 && Name.back() == '/')
        Name.pop_back();
    return Name;
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
    Walked = NamesFolder(Files);
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

bool TFolderRun::FolderWalked(std::size_t Found)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - LastReport >= ReportInterval) {
        LastReport = now;
        Channel.ReportStatus(std::string(SearchingStatus) + " " + std::to_string(Found));
    }
    return !Channel.CheckAbort();
}

bool TFolderRun::Mirrored(std::size_t Index) const
{
    return Options.Output == omDirectory && Index < Inputs.size() && Inputs[Index].Found();
}

std::string TFolderRun::FoundPath(std::size_t Index) const
{
    if (Index >= Inputs.size() || !Inputs[Index].Found())
        return {};
    const std::string& Relative = Inputs[Index].Relative;
    const std::size_t Slash = Relative.find('/');
    return Slash == std::string::npos ? Relative : Relative.substr(Slash + 1);
}

bool TFolderRun::SkipsFile(std::size_t Index, const std::string& Source)
{
    if (!Folders.SkipNonText || Index >= Inputs.size() || !Inputs[Index].Found() ||
        !LooksBinary(Source, Options.FromEncoding))
        return false;
    Logger.Add("Skipped, not a text file: " + Source);
    return true;
}

std::string TFolderRun::DestinationFileName(std::size_t Index, const std::string& Source,
                                            const TOutputPlacement& Placement) const
{
    if (!Mirrored(Index))
        return Placement.DestinationFileName(Source);
    std::string destination = Options.OutputDirectory;
    if (destination.empty() || destination.back() != '/')
        destination += '/';
    return destination + Inputs[Index].Relative;
}

void TFolderRun::PrepareDestination(std::size_t Index, const std::string& Destination)
{
    if (!Mirrored(Index))
        return;
    if (OutputFolders.empty())
        OutputFolders.insert(WithoutTrailingSlash(Options.OutputDirectory));
    // The missing folders, innermost first.
    std::vector<std::string> missing;
    for (std::string folder = Destination.substr(0, Destination.rfind('/'));
         !folder.empty() && OutputFolders.count(folder) == 0; folder = folder.substr(0, folder.rfind('/'))) {
        if (IsDirectory(folder)) {
            OutputFolders.insert(folder);
            break;
        }
        missing.push_back(folder);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (::mkdir(folder->c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(*folder)))
            throw EConvertError("Cannot create output directory: " + *folder);
        OutputFolders.insert(*folder);
        Logger.Add("Created output directory: " + *folder);
    }
}

std::optional<std::timespec> TFolderRun::SourceTime(const std::string& Source) const
{
    struct stat info;
    if (!Folders.KeepTime || ::stat(Source.c_str(), &info) != 0)
        return std::nullopt;
    return info.st_mtim;
}

void TFolderRun::KeepTime(const std::optional<std::timespec>& Time, const std::string& Destination)
{
    if (!Folders.KeepTime)
        return;
    if (!Time || !SetModificationTime(AT_FDCWD, Destination, *Time))
        Logger.AddWarning("Cannot keep modification time: " + Destination);
}
