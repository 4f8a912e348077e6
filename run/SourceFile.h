#pragma once

#include "util/FileDescriptor.h"
#include "util/FolderHandle.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include <sys/stat.h>

// One source of a run, opened once and shared by every step that reads it: the text check,
// detection, the conversion, the comparison with the result and the backup. A file found in a
// folder is opened by its own name in its folder, which the run opened below the walked folder
// without following a link; a file named directly is opened by its full name. The first bytes,
// read once for the steps that look at them, are where the conversion starts. Used on one thread.
class TSourceFile {
public:
    explicit TSourceFile(std::string Name);
    // Found as Leaf in Folder; a null Folder could not be opened, and neither can the file.
    TSourceFile(std::string Name, std::shared_ptr<TFolderHandle> Folder, std::string Leaf);
    TSourceFile(TSourceFile&&) = default;
    TSourceFile& operator=(TSourceFile&&) = default;

    const std::string& Name() const noexcept { return FullName; }

    // Opens at the first call (a regular file only, see OpenRegularFile); negative when the
    // file cannot be opened.
    int Fd();
    // What fstat told at the open.
    const struct stat& Info() const noexcept { return Status; }

    // The first Room.size() bytes or fewer, read into Room at the first call (Room must outlive
    // this object); false when the file cannot be opened or read.
    bool ReadSample(std::span<char> Room);
    // What ReadSample read; the descriptor's offset stands just past it.
    std::string_view Sample() const noexcept { return Read; }
    // False when a sample was asked for and could not be read: the offset is then unknown.
    bool SampleRead() const noexcept { return !SampleFailed; }

private:
    ssize_t ReadFirst(std::span<char> Room);

    std::string FullName;
    std::shared_ptr<TFolderHandle> Found;
    std::string Leaf;
    TFd Descriptor;
    struct stat Status {};
    bool Opened = false;
    bool Sampled = false;
    bool SampleFailed = false;
    std::string_view Read;
};
