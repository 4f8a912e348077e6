#include "stream/ByteRing.h"
#include "stream/ReadAhead.h"
#include "stream/WriteBehind.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Byte Index of a stream that never repeats within a ring.
char PatternAt(std::uint64_t Index)
{
    return static_cast<char>((Index * 131 + Index / 251) & 0xFF);
}

std::string Pattern(std::size_t Size)
{
    std::string text(Size, '\0');
    for (std::size_t i = 0; i < Size; ++i)
        text[i] = PatternAt(i);
    return text;
}

TEST(ByteRing, SpansStayContiguousAcrossTheWrap)
{
    const auto ring = TByteRing::Create(5000);
    ASSERT_NE(ring, nullptr);
    const std::size_t capacity = ring->Capacity();
    ASSERT_GE(capacity, 5000u);

    // Odd amounts in and out, so that the spans start and end everywhere and straddle the end
    // of the memory many times over.
    std::mt19937 random(7);
    std::uint64_t written = 0;
    std::uint64_t read = 0;
    for (int round = 0; round < 2000; ++round) {
        const std::span<char> room = ring->WaitForRoom(1);
        ASSERT_EQ(room.size(), capacity - (written - read));
        const std::size_t put = std::uniform_int_distribution<std::size_t>(0, room.size())(random);
        for (std::size_t i = 0; i < put; ++i)
            room[i] = PatternAt(written + i);
        ring->Commit(put);
        written += put;

        const std::span<char> data = ring->WaitForData(0);
        ASSERT_EQ(data.size(), written - read);
        const std::size_t take = std::uniform_int_distribution<std::size_t>(0, data.size())(random);
        for (std::size_t i = 0; i < data.size(); ++i)
            ASSERT_EQ(data[i], PatternAt(read + i)) << "byte " << read + i;
        ring->Release(take);
        read += take;
    }
    EXPECT_GT(written, 20 * capacity);
}

TEST(ByteRing, ThreadsHandOverEveryByteAndFinishOrStopEndTheWaits)
{
    const auto ring = TByteRing::Create(1);
    ASSERT_NE(ring, nullptr);
    const std::size_t capacity = ring->Capacity();
    const std::uint64_t total = 200 * capacity + 17;

    std::thread producer([&] {
        std::mt19937 random(3);
        std::uint64_t written = 0;
        while (written < total) {
            const std::size_t want = std::uniform_int_distribution<std::size_t>(1, capacity)(random);
            const std::span<char> room = ring->WaitForRoom(want);
            const std::size_t put = static_cast<std::size_t>(std::min<std::uint64_t>(room.size(), total - written));
            for (std::size_t i = 0; i < put; ++i)
                room[i] = PatternAt(written + i);
            ring->Commit(put);
            written += put;
        }
        ring->Finish();
    });
    std::mt19937 random(5);
    std::uint64_t read = 0;
    bool same = true;
    for (;;) {
        // More than is left at the end: the finish hands over the rest.
        const std::size_t want = std::uniform_int_distribution<std::size_t>(1, capacity)(random);
        const std::span<char> data = ring->WaitForData(want);
        if (data.empty())
            break;
        EXPECT_TRUE(data.size() >= want || read + data.size() == total) << read;
        for (std::size_t i = 0; i < data.size(); ++i)
            same = same && data[i] == PatternAt(read + i);
        ring->Release(data.size());
        read += data.size();
    }
    producer.join();
    EXPECT_TRUE(same);
    EXPECT_EQ(read, total);

    // A producer waiting for room it will never get is let go by the consumer's stop.
    const auto full = TByteRing::Create(1);
    ASSERT_NE(full, nullptr);
    full->Commit(full->Capacity());
    std::thread waiting([&] { EXPECT_TRUE(full->WaitForRoom(1).empty()); });
    full->Stop();
    waiting.join();
    EXPECT_TRUE(full->WaitForData(1).empty()) << "stopped for good";
}

// The two stages around a ring: a file read ahead through one ring and written behind through
// another arrives whole, and a write that fails lets the producer go and reports itself.
TEST(ByteRing, ReadAheadAndWriteBehindCopyAFileAndReportAShortRead)
{
    lmvtest::TempDir dir;
    const std::string text = Pattern(3 * 1024 * 1024 + 5);
    lmvtest::WriteFile(dir / "in", text);
    const int in = ::open((dir / "in").c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    {
        const auto source = TByteRing::Create(100000);
        const auto target = TByteRing::Create(70000);
        ASSERT_NE(source, nullptr);
        ASSERT_NE(target, nullptr);
        // Claims one byte more than the file holds: the reader finishes where the file ends.
        TReadAhead reader(in, text.size() + 1, *source, 40000);
        TWriteBehind writer(out, *target, 30000);
        std::uint64_t copied = 0;
        for (;;) {
            const std::span<char> data = source->WaitForData(9999);
            if (data.empty())
                break;
            const std::size_t count = std::min<std::size_t>(data.size(), 9999);
            const std::span<char> room = target->WaitForRoom(count);
            ASSERT_GE(room.size(), count);
            std::copy_n(data.data(), count, room.data());
            target->Commit(count);
            source->Release(count);
            copied += count;
        }
        EXPECT_EQ(copied, text.size());
        EXPECT_TRUE(writer.Finish());
        EXPECT_TRUE(writer.Finish()) << "the same answer again";
    }
    ::close(in);
    ::close(out);
    EXPECT_TRUE(lmvtest::ReadFile(dir / "out") == text);
}

TEST(ByteRing, AFailedWriteStopsTheRingAndFinishSaysSo)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]); // writes to the pipe now fail (SIGPIPE is ignored below)
    const auto ring = TByteRing::Create(1);
    ASSERT_NE(ring, nullptr);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    {
        TWriteBehind writer(fds[1], *ring, 16);
        // The producer keeps filling until the failed writer stops the ring under it.
        for (;;) {
            const std::span<char> room = ring->WaitForRoom(ring->Capacity());
            if (room.empty())
                break;
            ring->Commit(room.size());
        }
        EXPECT_FALSE(writer.Finish());
    }
    std::signal(SIGPIPE, previous);
    ::close(fds[1]);
}

} // namespace
