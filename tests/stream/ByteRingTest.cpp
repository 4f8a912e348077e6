#include "stream/ByteRing.h"
#include "stream/ReadAhead.h"
#include "stream/WriteBehind.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <functional>
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

// Thread Tid's state letter from /proc ('S' while it sleeps in a wait), 0 once it has gone.
char StateOf(pid_t Tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(Tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The state follows the name in parentheses.
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '\0';
}

// Starts Wait on a thread and returns once it sleeps in it (up to ten seconds).
class TSleeper {
public:
    explicit TSleeper(std::function<std::size_t()> Wait)
        : Thread([this, Wait] {
              Tid = static_cast<pid_t>(::gettid());
              Got = Wait();
          })
    {
        while (Tid == 0)
            std::this_thread::yield();
        for (int i = 0; i < 10000 && StateOf(Tid) != 'S'; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TSleeper()
    {
        if (Thread.joinable())
            Thread.join();
    }
    bool Sleeps() const { return StateOf(Tid) == 'S'; }
    std::size_t Join()
    {
        Thread.join();
        return Got;
    }

private:
    std::atomic<pid_t> Tid = 0;
    std::size_t Got = 0;
    std::thread Thread;
};

// A side that has to sleep wakes once per batch, not at each byte; one that need not sleep takes
// what is there at once; the end of the data lets a sleeper go with less.
TEST(ByteRing, ASleeperWaitsForItsBatchAndAWakeOneTakesWhatIsThere)
{
    constexpr std::size_t batch = 100;
    const auto ring = TByteRing::Create(1);
    ASSERT_NE(ring, nullptr);
    const std::size_t capacity = ring->Capacity();

    ring->Commit(5);
    EXPECT_EQ(ring->WaitForData(1, batch).size(), 5u);
    EXPECT_EQ(ring->WaitForRoom(1, batch).size(), capacity - 5);
    ring->Release(5);

    // Each byte short of the batch leaves the sleeper asleep (a wake-up would make it runnable at
    // once); the last one wakes it with the whole batch.
    const auto feed = [&](TSleeper& Sleeper, const std::function<void(std::size_t)>& Step) {
        EXPECT_TRUE(Sleeper.Sleeps());
        std::size_t fed = 0;
        for (; fed < batch; ++fed) {
            Step(1);
            if (!Sleeper.Sleeps()) {
                ADD_FAILURE() << "woken at " << fed + 1 << " bytes";
                ++fed;
                break;
            }
        }
        Step(1 + batch - fed);
        EXPECT_EQ(Sleeper.Join(), 1 + batch);
    };
    {
        TSleeper consumer([&] { return ring->WaitForData(1, batch).size(); });
        feed(consumer, [&](std::size_t Count) { ring->Commit(Count); });
        ring->Release(1 + batch);
    }
    {
        // The producer, on a full ring, likewise.
        ring->Commit(capacity);
        TSleeper producer([&] { return ring->WaitForRoom(1, batch).size(); });
        feed(producer, [&](std::size_t Count) { ring->Release(Count); });
    }
    {
        // Fewer than the batch, then the end.
        const auto last = TByteRing::Create(1);
        ASSERT_NE(last, nullptr);
        TSleeper consumer([&] { return last->WaitForData(1, batch).size(); });
        EXPECT_TRUE(consumer.Sleeps());
        last->Commit(3);
        last->Finish();
        EXPECT_EQ(consumer.Join(), 3u);
    }
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
