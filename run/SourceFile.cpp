#include "run/SourceFile.h"

#include <cerrno>
#include <cstdint>
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

// A regular file smaller than Room is read as far as the size fstat told: reading on to find its
// end would cost a second call, as much as the first for a small file. (A file that grows meanwhile
// is sampled as it was; its conversion reads on from there. Files that tell no size, as some of
// /proc, are read to their end.)
ssize_t TSourceFile::ReadFirst(std::span<char> Room)
{
    const bool sized = S_ISREG(Status.st_mode) && Status.st_size > 0 && static_cast<std::uint64_t>(Status.st_size) < Room.size();
    return ReadUpTo(Descriptor.Get(), Room.data(), sized ? static_cast<std::size_t>(Status.st_size) : Room.size());
}

bool TSourceFile::ReadSample(std::span<char> Room)
{
    if (!Sampled) {
        Sampled = true;
        const ssize_t got = Fd() < 0 ? -1 : ReadFirst(Room);
        SampleFailed = got < 0;
        if (got > 0)
            Read = std::string_view(Room.data(), static_cast<std::size_t>(got));
    }
    return Descriptor.Get() >= 0 && !SampleFailed;
}
