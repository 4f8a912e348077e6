#include "run/SourceFile.h"

#include <cerrno>
#include <utility>

TSourceFile::TSourceFile(std::string Name) : FullName(std::move(Name))
{
}

TSourceFile::TSourceFile(std::string Name, std::shared_ptr<TFolderHandle> Folder, std::string Leaf)
    : FullName(std::move(Name)), Found(std::move(Folder)), Leaf(std::move(Leaf))
{
    // Without its folder the file counts as one that cannot be opened.
    if (!Found)
        Opened = true;
}

int TSourceFile::Fd()
{
    if (!Opened) {
        Opened = true;
        Descriptor = Found ? OpenRegularFile(Leaf, Status, Found->Fd()) : OpenRegularFile(FullName, Status);
    }
    return Descriptor.Get();
}

bool TSourceFile::ReadSample(std::span<char> Room)
{
    if (!Sampled) {
        Sampled = true;
        const ssize_t got = Fd() < 0 ? -1 : ReadUpTo(Descriptor.Get(), Room.data(), Room.size());
        SampleFailed = got < 0;
        if (got > 0)
            Read = std::string_view(Room.data(), static_cast<std::size_t>(got));
    }
    return Descriptor.Get() >= 0 && !SampleFailed;
}
