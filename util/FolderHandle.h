#pragma once

#include "util/FileDescriptor.h"

#include <string>

// An open folder. Files are made, looked up, linked and removed relative to its descriptor, so
// they stay in this folder even when its path changes meanwhile. Opened by TFolderCache; closed
// on destruction. Move-only.
class TFolderHandle {
public:
    // Path is a folder part as ExtractFilePath gives it: ends with '/', or is empty for the
    // current folder. Not open (Fd() < 0) on failure, errno set.
    static TFolderHandle Open(const std::string& Path);
    // A folder already open (a path-only descriptor will do), known as Path.
    static TFolderHandle Adopt(TFd Fd, std::string Path);

    int Fd() const noexcept { return Descriptor.Get(); }
    const std::string& Path() const noexcept { return FolderPath; }

    // Set once the file system has refused an unnamed file here: later files go the named way
    // at once.
    bool UnnamedRefused = false;

private:
    TFd Descriptor;
    std::string FolderPath;
};
