#include "run/OutputPlacement.h"

#include "run/Logger.h"
#include "util/FileCopy.h"
#include "util/Mysysutils.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Anything but a directory counts as an existing file.
bool FileExists(const std::string& Name)
{
    struct stat st;
    return ::stat(Name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
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
    const std::string& directory = Options.OutputDirectory;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error || !std::filesystem::is_directory(directory, error))
        throw Exception("Cannot create output directory: " + directory);
    Logger.Add("Created output directory: " + directory);
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

void TOutputPlacement::BackupSourceFile(const std::string& Source)
{
    const std::string backup = ExtractFilePath(Source) + Options.BackupPrefix + ExtractFileName(Source);
    if (FileExists(backup) && !MayOverwrite(AskOverwrite, RequestAbort, backup, "backup", BackupAnswer))
        throw EConvertError("Not allowed to overwrite existing file with backup file: " + backup);
    if (!CopyFileReplace(Source, backup))
        throw EConvertError("Cannot backup source file");
    Logger.Add("Created backup file: " + backup);
}

void TOutputPlacement::CopyToDestination(const std::string& Temporary, const std::string& Destination)
{
    if ((Options.Output == omDirectory || Options.Output == omPrefix) && FileExists(Destination) &&
        !MayOverwrite(AskOverwrite, RequestAbort, Destination, "destination", DestinationAnswer))
        throw EConvertError("Not allowed to overwrite existing file with destination file: " + Destination);
    switch (MoveFileReplace(Temporary, Destination)) {
    case TPlaceResult::Moved:
        MovedTemporary = Temporary;
        break;
    case TPlaceResult::Copied:
        break;
    case TPlaceResult::Failed:
        throw EConvertError("Cannot copy temporary file to destination file");
    }
}

void TOutputPlacement::DeleteTemporaryFile(const std::string& Temporary)
{
    if (!MovedTemporary.empty() && Temporary == MovedTemporary) {
        MovedTemporary.clear();
        return;
    }
    if (::unlink(Temporary.c_str()) != 0)
        Logger.AddWarning("Cannot delete temporary file: " + Temporary);
}
