#pragma once

#include "util/FolderHandle.h"

#include <memory>
#include <optional>
#include <utility>
#include <string>

#include <sys/stat.h>

// Where a file name lands, in its open folder: symbolic links followed to the file they finally
// name, or the name itself.
struct TLanding {
    std::shared_ptr<TFolderHandle> Folder; // null: the folder cannot be opened
    std::string Name;                // the name inside Folder
    std::string Path;                // the full name, links followed
    bool LookedUp = false;           // the name could be looked up (false for a name too long)
    bool Exists = false;             // something (a file, a folder, ...) has that name
    struct stat Old {};              // what has that name, when it exists
};

// The folders of one run. The last folder opened stays open for the next name, so that a run
// into one folder looks it up once.
class TFolderCache {
public:
    // The folder of a folder part (ExtractFilePath), open; null when it cannot be opened.
    std::shared_ptr<TFolderHandle> Folder(const std::string& FolderPath);

    // Finds where Path lands. Links are followed to what they name; a link to nothing (a missing
    // name, or one in a folder that cannot be opened) lands on the link itself, so that nothing
    // is ever made through it. FollowLinks false: the name itself, whatever it is. False only
    // when a link cannot be followed (a loop, an unreadable or empty link); a folder that cannot
    // be opened or a name that cannot be looked up shows in the landing.
    bool Locate(const std::string& Path, TLanding& Landing, bool FollowLinks = true);

    // From now on the folder part FolderPath is Folder, never looked up by its path; a null
    // Folder stands for a folder that cannot be opened (ELOOP). Unpin ends it.
    void Pin(std::string FolderPath, std::shared_ptr<TFolderHandle> Folder);
    void Unpin();

private:
    std::shared_ptr<TFolderHandle> Last;
    std::optional<std::pair<std::string, std::shared_ptr<TFolderHandle>>> Pinned;
};
