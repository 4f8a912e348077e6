#pragma once

#include "run/ConvertError.h"
#include "settings/ConvertOptions.h"
#include "util/FileAttributes.h"
#include "util/FolderCache.h"
#include "util/NewFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TLogger;

// The temporary file of one source, made in the folder where its result will live.
struct TTemporaryFile {
    TLanding Destination;           // where the result goes, looked up when the file was made
    std::unique_ptr<TNewFile> File; // null when the destination's folder cannot be opened
    // Made in the named folder before the name was looked up: Destination holds only the folder
    // and the name, and the name is looked up only when it turns out to be taken.
    bool Deferred = false;

    // Open for writing; negative when no temporary file could be made.
    int Handle() const noexcept { return File ? File->Handle() : -1; }
};

// Where a converted file lands, backups, and the overwrite questions of one run.
// Answers to the question: 0 Yes, 1 Yes to All, 2 No, 3 No to All, 4 Cancel.
class TOutputPlacement {
public:
    // AskOverwrite shows the overwrite question with the given text and returns the answer index.
    using TAskOverwrite = std::function<std::int32_t(const std::string& Text)>;

    TOutputPlacement(const TConvertOptions& Options, TLogger& Logger, TAskOverwrite AskOverwrite,
                     std::function<void()> RequestAbort);

    // Creates OutputDirectory with its parents; raises Exception (not EConvertError).
    void CreateOutputDirectory();
    // The same in two steps, for a run that needs the folder before it may log: creates it
    // without a word (false when it cannot), and logs it as CreateOutputDirectory does.
    bool MakeOutputDirectory();
    void LogOutputDirectoryMade();
    // Raises Exception "Invalid output identifier" for an unknown Output.
    std::string DestinationFileName(const std::string& Source) const;
    // A new temporary file in Destination's folder (links at Destination followed). Never
    // raises: a file that could not be made has a negative handle, and the conversion into it
    // fails once the source has opened.
    TTemporaryFile MakeTempFile(const std::string& Destination);
    // Copies the source open as SourceFd, named Source, to its backup name.
    void BackupSourceFile(const std::string& Source, int SourceFd);
    // Puts the complete temporary file in place under Destination: linked as a new file, or in
    // one step over the existing one, whose owner and permission bits it takes.
    void CopyToDestination(TTemporaryFile& Temporary, const std::string& Destination);
    // Never raises; a named temporary file that cannot be removed is a logged warning.
    void DeleteTemporaryFile(TTemporaryFile& Temporary);
    // Until ForgetFolder, results, temporary files and backups in the folder FolderPath (a folder
    // part as ExtractFilePath gives it) go into Folder, which the run opened without following
    // links; a null Folder makes nothing there.
    void UseFolder(std::string FolderPath, std::shared_ptr<TFolderHandle> Folder);
    void ForgetFolder();

    std::int32_t BackupAnswer = -1;
    std::int32_t DestinationAnswer = -1;
    // False makes every temporary file a hidden named one, as on file systems without unnamed files.
    bool UnnamedFiles = true;
    // Gives a result that replaces a file, and a backup, that file's ACL and extended attributes.
    TAttributeCopy KeepAttributes = CopyAttributes;

private:
    bool LinkUnlookedUp(TTemporaryFile& Temporary, const std::string& Destination);

    const TConvertOptions& Options;
    TLogger& Logger;
    TAskOverwrite AskOverwrite;
    std::function<void()> RequestAbort;
    // The folders of this run, each looked up once while its files follow one another.
    TFolderCache Folders;
};

// The warning when a replaced file's or a backup's ACL or extended attributes could not be kept.
inline constexpr const char* CannotKeepPermissions = "Cannot keep permissions: ";

// The button-list text of the overwrite question.
inline constexpr const char* OverwriteButtons = "&Yes,\"Yes to &All\",&No,\"No &to All\",Cancel";
