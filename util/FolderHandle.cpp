#include "util/FolderHandle.h"

#include <utility>

#include <fcntl.h>
#include <unistd.h>

TFolderHandle::~TFolderHandle()
{
    if (Descriptor >= 0)
        ::close(Descriptor);
}

TFolderHandle::TFolderHandle(TFolderHandle&& Other) noexcept
    : UnnamedRefused(Other.UnnamedRefused), Descriptor(std::exchange(Other.Descriptor, -1)),
      FolderPath(std::move(Other.FolderPath))
{
}

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& Other) noexcept
{
    if (this != &Other) {
        if (Descriptor >= 0)
            ::close(Descriptor);
        Descriptor = std::exchange(Other.Descriptor, -1);
        FolderPath = std::move(Other.FolderPath);
        UnnamedRefused = Other.UnnamedRefused;
    }
    return *this;
}

TFolderHandle TFolderHandle::Open(const std::string& Path)
{
    TFolderHandle folder;
    // A path-only descriptor: enough for the *at calls, and it needs no read permission.
    folder.Descriptor = ::open(Path.empty() ? "." : Path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    folder.FolderPath = Path;
    return folder;
}
