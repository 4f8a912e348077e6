#include "run/ExpandedFiles.h"

#include <bit>

std::size_t TExpandedFiles::BlockOf(std::size_t Index) noexcept
{
    return static_cast<std::size_t>(std::bit_width(Index / FirstBlock + 1)) - 1;
}

void TExpandedFiles::Add(std::vector<TInputFile>& More)
{
    for (TInputFile& file : More) {
        const std::size_t block = BlockOf(Added);
        if (!Blocks[block])
            Blocks[block] = std::make_unique<TInputFile[]>(FirstBlock << block);
        Blocks[block][Added - FirstBlock * ((std::size_t{1} << block) - 1)] = std::move(file);
        ++Added;
    }
    More.clear();
}

const TInputFile& TExpandedFiles::operator[](std::size_t Index) const noexcept
{
    const std::size_t block = BlockOf(Index);
    return Blocks[block][Index - FirstBlock * ((std::size_t{1} << block) - 1)];
}
