#include "run/ExpandedFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<TInputFile> Batch(std::size_t First, std::size_t Count)
{
    std::vector<TInputFile> files;
    for (std::size_t i = First; i < First + Count; ++i)
        files.push_back({"/n/" + std::to_string(i), i % 3 == 0 ? "d/" + std::to_string(i) : std::string()});
    return files;
}

// Files added in batches of every size keep their places across the blocks they fill, and the
// others see only what was shown.
TEST(ExpandedFilesTest, FilesKeepTheirPlacesAndOnlyShownOnesCount)
{
    TExpandedFiles files;
    std::size_t added = 0;
    for (const std::size_t size : {1u, 15u, 240u, 1u, 511u, 1u, 1100u, 3000u}) {
        std::vector<TInputFile> more = Batch(added, size);
        files.Add(more);
        EXPECT_TRUE(more.empty());
        added += size;
        EXPECT_EQ(files.AddedCount(), added);
        EXPECT_EQ(files.Count(), added - size) << "shown before ShowAll";
        files.ShowAll();
        EXPECT_EQ(files.Count(), added);
    }
    for (std::size_t i = 0; i < added; ++i) {
        ASSERT_EQ(files[i].Name, "/n/" + std::to_string(i));
        ASSERT_EQ(files[i].Found(), i % 3 == 0);
    }
}

// A reader on another thread keeps reading what was shown while more is added: nothing it has
// seen moves or changes.
TEST(ExpandedFilesTest, ShownFilesStayPutWhileMoreAreAdded)
{
    TExpandedFiles files;
    constexpr std::size_t total = 20000;
    std::atomic<bool> wrong{false};
    std::thread reader([&] {
        std::size_t seen = 0;
        while (seen < total) {
            const std::size_t shown = files.Count();
            for (std::size_t i = 0; i < shown; i += 1 + i / 64)
                if (files[i].Name != "/n/" + std::to_string(i))
                    wrong = true;
            seen = shown;
        }
    });
    for (std::size_t added = 0; added < total; added += 100) {
        std::vector<TInputFile> more = Batch(added, 100);
        files.Add(more);
        files.ShowAll();
    }
    reader.join();
    EXPECT_FALSE(wrong.load());
}

} // namespace
