#pragma once

#include "util/FileDescriptor.h"
#include "util/FolderHandle.h"

#include <memory>
#include <string>

#include <sys/stat.h>

// A file being written in the folder where it will live, invisible until it is complete: an
// unnamed file (O_TMPFILE) that Link or Replace gives its name, or, where the file system refuses
// unnamed files, a hidden named file ".lmv<random>.tmp" that Discard removes. A kill at any
// moment leaves no unnamed file behind. Made with mode 0666 less the umask, so the kernel applies
// the umask or the folder's default ACL, and the folder's group where it is set-group-ID.
// Created and used on one thread; the destructor discards what was not placed.
class TNewFile {
public:
    // Unnamed false goes the named way at once (file systems without O_TMPFILE, and tests).
    explicit TNewFile(std::shared_ptr<TFolderHandle> Folder, bool Unnamed = true);
    ~TNewFile();
    TNewFile(const TNewFile&) = delete;
    TNewFile& operator=(const TNewFile&) = delete;

    // The descriptor, open for reading and writing (a result can be compared with its source);
    // negative when the file could not be made.
    int Handle() const noexcept { return Fd.Get(); }
    // The full name of the hidden named file; empty for an unnamed file.
    std::string Name() const;

    // Gives the file From's owner and group (where allowed), permission bits and, with Times,
    // modification time. False when the bits or the time cannot be set.
    bool TakeOver(const struct stat& From, bool Times);
    // Puts the complete file in its folder under Name, which must not exist yet.
    bool Link(const std::string& Name);
    // Puts the complete file in its folder in place of the file Name, in one step: the bytes
    // reach the disk first, so a crash leaves the old file or the whole new one.
    bool Replace(const std::string& Name);
    // Closes and removes what was not placed. False when a named file could not be removed.
    bool Discard();

private:
    bool LinkUnnamed(const std::string& Name);

    std::shared_ptr<TFolderHandle> Folder;
    TFd Fd;
    std::string Hidden; // the named file's name in Folder
    bool Placed = false;
};
