#pragma once

#include "folders/FolderWalker.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

// The files of a parallel run as its first job expands the names, read by every job while more
// are added. One job adds; a file once shown never moves, so the others read it without a lock.
// Owned by the run's queue; shown files stay until the queue goes.
class TExpandedFiles {
public:
    TExpandedFiles() = default;
    TExpandedFiles(const TExpandedFiles&) = delete;
    TExpandedFiles& operator=(const TExpandedFiles&) = delete;

    // The adding job: puts More at the end (moved out, More left empty), not shown yet.
    void Add(std::vector<TInputFile>& More);
    // The adding job: every file added is shown.
    void ShowAll() noexcept { Shown.store(Added, std::memory_order_release); }
    // The adding job: the files added so far.
    std::size_t AddedCount() const noexcept { return Added; }
    // Any job: the files shown so far.
    std::size_t Count() const noexcept { return Shown.load(std::memory_order_acquire); }
    // File Index, one of those shown (or added, on the adding job).
    const TInputFile& operator[](std::size_t Index) const noexcept;

private:
    // Block k holds FirstBlock << k files: blocks are never moved, and 48 of them hold more
    // than memory can.
    static constexpr std::size_t FirstBlock = 256;
    static std::size_t BlockOf(std::size_t Index) noexcept;

    std::array<std::unique_ptr<TInputFile[]>, 48> Blocks;
    std::size_t Added = 0;
    std::atomic<std::size_t> Shown{0};
};
