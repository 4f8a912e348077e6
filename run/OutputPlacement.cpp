#include "run/OutputPlacement.h"

#include "run/Logger.h"
#include "util/FileCopy.h"
#include "util/FileDescriptor.h"
#include "util/Mysysutils.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Anything but a directory counts as an existing file, a link that leads nowhere included.
bool FileExists(const TLanding& Target)
{
    return Target.Exists && !S_ISDIR(Target.Old.st_mode);
}

std::string OverwriteQuestion(const std::string& Name, const char* Kind)
{
    return "The following file already exists:\r\n\r\n" + Name + "\r\n\r\nOverwrite it with the " + Kind + " file?";
}

// Asks unless a remembered Yes to All or No to All decides; true when the file may be replaced.
bool MayOverwrite(const TOutputPlacement::TAskOverwrite& AskOverwrite, const std::function<void()>& RequestAbort,
                  const std::string& Name, const char* Kind, std::int32_t& Answer)
{
    if (Answer != 1 && Answer != 3)
        Answer = AskOverwrite(OverwriteQuestion(Name, Kind));
    if (Answer == 4 && RequestAbort)
        RequestAbort();
    // Only an explicit Yes overwrites; an answer the question does not offer refuses.
    return Answer == 0 || Answer == 1;
}

} // namespace

TOutputPlacement::TOutputPlacement(const TConvertOptions& Options, TLogger& Logger, TAskOverwrite AskOverwrite,
                                   std::function<void()> RequestAbort)
    : Options(Options), Logger(Logger), AskOverwrite(std::move(AskOverwrite)), RequestAbort(std::move(RequestAbort))
{
}

void TOutputPlacement::CreateOutputDirectory()
{
    if (!MakeOutputDirectory())
        throw Exception("Cannot create output directory: " + Options.OutputDirectory);
    LogOutputDirectoryMade();
}

bool TOutputPlacement::MakeOutputDirectory()
{
    const std::string& directory = Options.OutputDirectory;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    return !error && std::filesystem::is_directory(directory, error);
}

void TOutputPlacement::LogOutputDirectoryMade()
{
    Logger.Add("Created output directory: " + Options.OutputDirectory);
}

std::string TOutputPlacement::DestinationFileName(const std::string& Source) const
{
    switch (Options.Output) {
    case omDirectory: {
        std::string destination = Options.OutputDirectory;
        if (destination.empty() || destination.back() != '/')
            destination += '/';
        return destination + ExtractFileName(Source);
    }
    case omPrefix:
        return ExtractFilePath(Source) + Options.OutputPrefix + ExtractFileName(Source);
    case omOverwrite:
        return Source;
    default:
        throw Exception("Invalid output identifier");
    }
}

TTemporaryFile TOutputPlacement::MakeTempFile(const std::string& Destination)
{
    TTemporaryFile temporary;
    // A new result, the common case, goes in the named folder and needs no look-up of its name:
    // the link that names it fails when the name is taken, and only then is it looked up. Where
    // unnamed files are refused, the hidden file's rename could not fail so harmlessly.
    const std::string name = ExtractFileName(Destination);
    if (Options.Output != omOverwrite && UnnamedFiles && !name.empty()) {
        const std::shared_ptr<TFolderHandle> folder = Folders.Folder(ExtractFilePath(Destination));
        if (folder && !folder->UnnamedRefused) {
            auto file = std::make_unique<TNewFile>(folder, true);
            if (file->Handle() >= 0 && file->Name().empty()) {
                temporary.Destination.Folder = folder;
                temporary.Destination.Name = name;
                temporary.Destination.Path = Destination;
                temporary.File = std::move(file);
                temporary.Deferred = true;
                return temporary;
            }
        }
    }
    if (Folders.Locate(Destination, temporary.Destination) && temporary.Destination.Folder)
        temporary.File = std::make_unique<TNewFile>(temporary.Destination.Folder, UnnamedFiles);
    return temporary;
}

// Links a result made before its name was looked up. A taken name is looked up as MakeTempFile
// would have done it, and the result moves to the folder the name finally lands in when a link
// leads elsewhere; false then, and the caller places it as usual.
bool TOutputPlacement::LinkUnlookedUp(TTemporaryFile& Temporary, const std::string& Destination)
{
    Temporary.Deferred = false;
    if (Temporary.File->Link(Temporary.Destination.Name))
        return true;
    const std::shared_ptr<TFolderHandle> madeIn = Temporary.Destination.Folder;
    // Where the look-up fails, a temporary file would not have been made.
    if (!Folders.Locate(Destination, Temporary.Destination) || !Temporary.Destination.Folder)
        throw EConvertError("Cannot create temporary file");
    if (Temporary.Destination.Folder == madeIn)
        return false;
    auto moved = std::make_unique<TNewFile>(Temporary.Destination.Folder, UnnamedFiles);
    if (moved->Handle() < 0)
        throw EConvertError("Cannot create temporary file");
    const int made = Temporary.File->Handle();
    struct stat info;
    // The move keeps the modification time the result was given.
    if (::lseek(made, 0, SEEK_SET) != 0 || !CopyContent(made, moved->Handle()) || ::fstat(made, &info) != 0 ||
        !SetModificationTime(moved->Handle(), {}, info.st_mtim))
        throw EConvertError("Cannot write to temporary file");
    Temporary.File = std::move(moved);
    return false;
}

void TOutputPlacement::BackupSourceFile(const std::string& Source, int SourceFd)
{
    const std::string backup = ExtractFilePath(Source) + Options.BackupPrefix + ExtractFileName(Source);
    TLanding target;
    // Never through a link: whatever has the backup's name is replaced by the backup itself.
    const bool located = Folders.Locate(backup, target, false);
    if (located && FileExists(target) && !MayOverwrite(AskOverwrite, RequestAbort, backup, "backup", BackupAnswer))
        throw EConvertError("Not allowed to overwrite existing file with backup file: " + backup);
    bool kept = true;
    if (!located || !CopyFileReplace(SourceFd, target, &kept, KeepAttributes))
        throw EConvertError("Cannot backup source file");
    Logger.Add("Created backup file: " + backup);
    if (!kept)
        Logger.AddWarning(std::string(CannotKeepPermissions) + backup);
}

void TOutputPlacement::CopyToDestination(TTemporaryFile& Temporary, const std::string& Destination)
{
    if (Temporary.Deferred && LinkUnlookedUp(Temporary, Destination))
        return;
    const TLanding& target = Temporary.Destination;
    if ((Options.Output == omDirectory || Options.Output == omPrefix) && FileExists(target) &&
        !MayOverwrite(AskOverwrite, RequestAbort, Destination, "destination", DestinationAnswer))
        throw EConvertError("Not allowed to overwrite existing file with destination file: " + Destination);
    TNewFile* file = Temporary.File.get();
    // A link that leads nowhere is replaced by the result itself, which keeps its own mode.
    const bool takeOver = target.Exists && S_ISREG(target.Old.st_mode);
    bool kept = true;
    if (takeOver && file && MayPlaceAt(target)) {
        if (!file->TakeOver(target.Old, false))
            throw EConvertError("Cannot copy temporary file to destination file");
        const TFd old(::openat(target.Folder->Fd(), target.Name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        kept = old.Get() >= 0 && KeepAttributes(old.Get(), file->Handle());
    }
    const bool placed = file && MayPlaceAt(target) && (target.Exists ? file->Replace(target.Name) : file->Link(target.Name));
    if (!placed)
        throw EConvertError("Cannot copy temporary file to destination file");
    if (!kept)
        Logger.AddWarning(std::string(CannotKeepPermissions) + Destination);
}

void TOutputPlacement::DeleteTemporaryFile(TTemporaryFile& Temporary)
{
    if (!Temporary.File)
        return;
    const std::string name = Temporary.File->Name();
    if (!Temporary.File->Discard())
        Logger.AddWarning("Cannot delete temporary file: " + name);
}

void TOutputPlacement::UseFolder(std::string FolderPath, std::shared_ptr<TFolderHandle> Folder)
{
    Folders.Pin(std::move(FolderPath), std::move(Folder));
}

void TOutputPlacement::ForgetFolder()
{
    Folders.Unpin();
}
