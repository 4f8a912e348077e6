#pragma once

#include "folders/FileMasks.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a walk takes and leaves out.
struct TWalkRules {
    bool IncludeSubfolders = true;
    TFileMasks FileNames{"*", false};
    TFileMasks SkipNames{".*", true};
    // Files whose names start with one of these are left out (results and backups of a run).
    std::vector<std::string> SkipPrefixes;
    // A folder never entered, by device and inode (the output directory).
    std::optional<std::pair<std::uint64_t, std::uint64_t>> SkipFolder;
};

// One file of a run.
struct TInputFile {
    std::string Name;
    // Empty for a file named directly; for a file found in a given folder its path from that
    // folder's parent, so the folder's own name comes first.
    std::string Relative;

    bool Found() const noexcept { return !Relative.empty(); }
};

// Lists the files of one folder tree: names sorted within each folder (ASCII letters case-blind,
// then by bytes), a folder's files before its subfolders. Regular files and links to them are
// taken; links to folders are not followed, so a tree with a loop ends. Each folder below the
// walked one is opened by name in its open parent and never through a link, so a folder swapped
// for a link during the walk is reported unreadable instead of leading outside the tree. One
// object may walk several folders.
class TFolderWalker {
public:
    // OnUnreadable: a folder that could not be listed; the walk goes on with the rest.
    // OnFolder: after each folder, with the size of the list so far; false stops the walk.
    TFolderWalker(TWalkRules Rules, std::function<void(const std::string& Folder)> OnUnreadable,
                  std::function<bool(std::size_t Found)> OnFolder);

    // Folder: an absolute path without a trailing '/' (the root: empty). Appends to Found, with
    // absolute names; false when stopped.
    bool Walk(const std::string& Folder, std::vector<TInputFile>& Found);

private:
    TWalkRules Rules;
    std::function<void(const std::string&)> OnUnreadable;
    std::function<bool(std::size_t)> OnFolder;
};
