#pragma once

#include "folders/FolderWalker.h"
#include "run/ExpandedFiles.h"
#include "run/SourceFile.h"
#include "settings/ConvertOptions.h"
#include "settings/FolderOptions.h"
#include "util/StringList.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

class TLogger;
class TOutputPlacement;
class TRunChannel;

// The walk's rules for a run with these options: the masks (raises Exception for a bad one), the
// output directory when it exists, the output or backup prefix of the mode.
TWalkRules RunWalkRules(const TConvertOptions& Options, const TFolderOptions& Folders);

// The folder parts of one conversion run, on the worker: expanding given folders into files,
// opening found files below the walked folder, leaving out found files that are not text,
// mirroring found files under the output directory, and keeping modification times. Owned by the
// run; it logs to the run's logger, and shows the search and asks the abort question through the
// run's channel. No link below a walked folder or below the output directory is followed after
// the walk either: a folder swapped for one meanwhile fails its files.
class TFolderRun {
public:
    TFolderRun(const TConvertOptions& Options, const TFolderOptions& Folders, TLogger& Logger, TRunChannel& Channel);

    // Replaces the folders among Files by the files found in them. Runs no walk, and changes
    // nothing, when no name is a folder (NamesFolder, when known already). False when aborted.
    // Raises Exception for a bad mask.
    bool Expand(TStringList& Files);
    bool Expand(TStringList& Files, bool NamesFolder);
    // For one job of a parallel run: expands Names as Expand does and hands the files over to
    // Show in order as they are found, a few at a time, so that the other jobs can start on them
    // (the names of files are moved out of Names). A stopped expansion hands over no more.
    bool Expand(TStringList& Names, const std::function<void(std::vector<TInputFile>& More)>& Show);
    // Whether the last Expand walked a folder.
    bool FolderGiven() const noexcept { return Walked; }
    // The files of the run are those of a parallel run's queue, which outlives this.
    void Share(const TExpandedFiles& Files) noexcept { Shared = &Files; }

    // File Index of the run, named Source, not opened yet. A found one is opened in its folder,
    // opened below the walked folder without following links; in the prefix and overwrite modes
    // Placement makes its results and backups in that same folder.
    TSourceFile OpenSource(std::size_t Index, const std::string& Source, TOutputPlacement& Placement);
    // A found file that is not text (judged by its sample, read into Room): logged and to be left out.
    bool SkipsFile(std::size_t Index, TSourceFile& Source, std::span<char> Room);
    // The path of a found file below the folder given; empty for a file named directly.
    std::string FoundPath(std::size_t Index) const;
    std::string DestinationFileName(std::size_t Index, const std::string& Source,
                                    const TOutputPlacement& Placement) const;
    // Creates the missing folders above a mirrored destination below the output directory, never
    // through a link, each logged once, and has Placement make the result in the last of them;
    // raises EConvertError when one cannot be made.
    void PrepareDestination(std::size_t Index, const std::string& Destination, TOutputPlacement& Placement);

    // The source's modification time as it was opened, when it is to be kept.
    std::optional<std::timespec> SourceTime(TSourceFile& Source) const;
    // Gives the result open as Result, to be placed as Destination, that time; a failure is a warning.
    void KeepTime(const std::optional<std::timespec>& Time, int Result, const std::string& Destination);

private:
    // File Index when it was found in a given folder; null for a file named directly.
    const TInputFile* FoundFile(std::size_t Index) const noexcept;
    bool Mirrored(std::size_t Index) const;
    bool FolderWalked(std::size_t Found);
    // While Expand hands files over: those waiting in Pending once there are at least Least.
    void ShowPending(std::size_t Least);
    bool OutputMayLieIn(const std::string& Folder) const;

    // One open folder, known by its full path ending in '/'; null when it could not be opened.
    struct TOpenFolder {
        std::string Path;
        std::shared_ptr<TFolderHandle> Folder;
    };

    const TConvertOptions& Options;
    TFolderOptions Folders;
    TLogger& Logger;
    TRunChannel& Channel;
    // Files of the run after expansion, their names moved out; empty when no folder was given.
    std::vector<TInputFile> Inputs;
    const TExpandedFiles* Shared = nullptr;
    // While Expand hands files over: the files found and not handed over yet, how many were,
    // and how many to gather before the next hand-over.
    const std::function<void(std::vector<TInputFile>& More)>* Show = nullptr;
    std::vector<TInputFile> Pending;
    std::size_t ShownCount = 0;
    std::size_t ShowEvery = 0;
    // The walk under way may meet the output folder once it is made: its files go over only at its end.
    bool WalkHolds = false;
    // The folders of the last found source and of the last mirrored result: the files of one
    // folder follow one another.
    std::optional<TOpenFolder> SourceFolder;
    std::optional<TOpenFolder> ResultFolder;
    std::chrono::steady_clock::time_point LastReport;
    bool Walked = false;
};

inline constexpr const char* SearchingStatus = "Searching...";
