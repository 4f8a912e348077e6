#include "util/FolderHandle.h"

TFolderHandle TFolderHandle::Open(const std::string& Path)
{
    TFolderHandle folder;
    // A path-only descriptor: enough for the *at calls, and it needs no read permission.
    folder.Descriptor = TFd(::open(Path.empty() ? "." : Path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    folder.FolderPath = Path;
    return folder;
}

TFolderHandle TFolderHandle::Adopt(TFd Fd, std::string Path)
{
    TFolderHandle folder;
    folder.Descriptor = std::move(Fd);
    folder.FolderPath = std::move(Path);
    return folder;
}
