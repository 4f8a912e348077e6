#include "run/FileConverter.h"
#include "run/SourceFile.h"

#include "engine/Lumiva.h"
#include "tests/common/IconvOnce.h"
#include "tests/common/TestSupport.h"
#include "tests/run/ConverterFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using lmvtest::Bytes;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

// The whole text in one call of the C library's iconv, then its reset: what a converter that
// sees the file at once writes.
std::string OneShot(const std::string& From, const std::string& To, const std::string& Text)
{
    const std::optional<std::string> out = lmvtest::IconvOnce(From, To, Text);
    EXPECT_TRUE(out) << "iconv " << From << " -> " << To;
    return out.value_or("");
}

std::string Repeat(const std::string& Text, int Times)
{
    std::string result;
    for (int i = 0; i < Times; ++i)
        result += Text;
    return result;
}

using TResult = lmvtest::TConversion;
using FileConverter = lmvtest::TConverterFixture<>;

// Text in UTF-8 and the longest character it holds in the source and in the target encoding.
struct TChunkCase {
    const char* Name;
    const char* From;
    const char* To;
    std::string Utf8Text;
    std::size_t LongestIn;
    std::size_t LongestOut;
};

std::vector<TChunkCase> ChunkCases()
{
    std::string latin;
    for (int c = 0x20; c < 0x100; ++c)
        if (c < 0x7F || c >= 0xA0)
            latin += OneShot("ISO-8859-1", "UTF-8", std::string(1, static_cast<char>(c)));
    const std::string mixed = "ab\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80-\xE6\x96\x87\xD0\x96z"; // ASCII, 2, 3, 4 bytes
    const std::string japanese = "a\xE3\x81\x82\xEF\xBD\xB1\xE6\xBC\xA2\xE5\xAD\x97-\xE3\x82\xAB"; // kana, half-width, kanji
    const std::string chinese = "x\xE4\xB8\xAD\xE6\x96\x87\xE7\xB7\xA8\xE7\xA2\xBC;";
    return {
        {"Latin1ToUtf32", "ISO-8859-1", "UTF-32BE", Repeat(latin, 8), 1, 4},
        {"Utf32ToLatin1", "UTF-32BE", "ISO-8859-1", Repeat(latin, 8), 4, 1},
        {"Utf8ToUtf16", "UTF-8", "UTF-16LE", Repeat(mixed, 97), 4, 4},
        {"ShiftJisToUtf8", "SHIFT_JIS", "UTF-8", Repeat(japanese, 151), 2, 3},
        {"GbkToUtf8", "GBK", "UTF-8", Repeat(chinese, 163), 2, 3},
    };
}

TEST_F(FileConverter, EveryBufferSizeGivesTheOneShotResultOrFailsWhenACharacterCannotFit)
{
    for (const TChunkCase& c : ChunkCases()) {
        const std::string source = OneShot("UTF-8", c.From, c.Utf8Text);
        const std::string expected = OneShot(c.From, c.To, source);
        ASSERT_GT(source.size(), 1000u) << c.Name;
        std::vector<std::int32_t> sizes;
        for (std::int32_t size = 2; size <= 64; ++size)
            sizes.push_back(size);
        for (const std::int32_t size : {65, 127, 1001, 4096, 65536, 65537})
            sizes.push_back(size);
        for (const std::int32_t size : sizes) {
            const std::size_t in = static_cast<std::size_t>(size) / 2;
            const std::size_t out = static_cast<std::size_t>(size) - in;
            const TResult result = Run(source, c.From, c.To, size, "SIG");
            if (in >= c.LongestIn && out >= c.LongestOut) {
                EXPECT_EQ(result.Error, "") << c.Name << " size " << size;
                EXPECT_EQ(result.Output, "SIG" + expected) << c.Name << " size " << size;
            } else {
                EXPECT_EQ(result.Error, "Cannot convert character encoding") << c.Name << " size " << size;
            }
        }
    }
}

TEST_F(FileConverter, TheLibrarysOwnMarkIsWrittenOnce)
{
    const std::string source = Repeat("Hello, W\xF6rld! ", 40);
    for (const std::int32_t size : {8, 13, 64, 65537}) {
        const TResult result = Run(source, "ISO-8859-1", "UTF-32", size);
        EXPECT_EQ(result.Error, "") << size;
        EXPECT_EQ(result.Output, OneShot("ISO-8859-1", "UTF-32", source)) << size;
    }
}

TEST_F(FileConverter, WorkedExampleWritesTwentyBytes)
{
    const TResult result = Run("abcdefghij", "ISO-8859-1", "UTF-16BE", 16);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.Output, Bytes({0, 'a', 0, 'b', 0, 'c', 0, 'd', 0, 'e', 0, 'f', 0, 'g', 0, 'h', 0, 'i', 0, 'j'}));

    // A source of exactly the input buffer's size.
    EXPECT_EQ(Run("abcdefgh", "ISO-8859-1", "UTF-16BE", 16).Output, Bytes({0, 'a', 0, 'b', 0, 'c', 0, 'd', 0, 'e', 0, 'f', 0, 'g', 0, 'h'}));
}

TEST_F(FileConverter, AnEmptySourceGivesJustTheSignature)
{
    for (const std::int32_t size : {65536, 2, 1, 0}) {
        const TResult result = Run("", "UTF-8", "UTF-16LE", size, Bytes({0xFF, 0xFE}));
        EXPECT_EQ(result.Error, "") << size;
        EXPECT_EQ(result.Output, Bytes({0xFF, 0xFE})) << size;
        EXPECT_EQ(Run("", "UTF-8", "UTF-8", size).Output, "") << size;
    }
}

TEST_F(FileConverter, AUtf8SourceSignatureIsDroppedAndTheRunsOwnWritten)
{
    const std::string bom = Bytes({0xEF, 0xBB, 0xBF});
    // Nothing but the signature: the signature is consumed, which is progress.
    TResult result = Run(bom, "UTF-8", "UTF-8", 65536, bom);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.Output, bom);

    result = Run(bom + "text", "utf-8", "UTF-8", 65536, bom);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.Output, bom + "text");

    result = Run(bom + "text", "UTF-8", "UTF-16BE", 8);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.Output, Bytes({0, 't', 0, 'e', 0, 'x', 0, 't'}));
}

TEST_F(FileConverter, AnInvalidSequenceFailsAfterTheTextBeforeIt)
{
    const std::string before = Repeat("0123456789", 10);
    const TResult result = Run(before + "\xFF" + "after", "UTF-8", "UTF-16LE", 32, "SIG");
    EXPECT_EQ(result.Error, "Cannot convert character encoding");
    EXPECT_EQ(result.Output, "SIG" + OneShot("UTF-8", "UTF-16LE", before));
}

TEST_F(FileConverter, ASequenceCutOffAtTheEndFails)
{
    const std::string before = Repeat("\xE4\xB8\xAD", 30);
    const TResult result = Run(before + "\xE4\xB8", "UTF-8", "UTF-16LE", 20);
    EXPECT_EQ(result.Error, "Cannot convert character encoding");
    EXPECT_EQ(result.Output, OneShot("UTF-8", "UTF-16LE", before));
}

TEST_F(FileConverter, BuffersTooSmallForOneCharacterFail)
{
    // One output byte cannot take a UTF-16 character.
    EXPECT_EQ(Run("abc", "ISO-8859-1", "UTF-16LE", 2).Error, "Cannot convert character encoding");
    // No input byte at all: the output would be cut off.
    for (const std::int32_t size : {1, 0, -5}) {
        const TResult result = Run("abc", "ISO-8859-1", "ISO-8859-1", size, "SIG");
        EXPECT_EQ(result.Error, "Cannot convert character encoding") << size;
    }
    // Two bytes each way are enough for single-byte text.
    EXPECT_EQ(Run("abc", "ISO-8859-1", "ISO-8859-1", 2).Output, "abc");
}

TEST_F(FileConverter, IgnoreDropsWholeChunksOfCharactersTheTargetLacks)
{
    const std::string text = "a" + Repeat("\xE4\xB8\xAD", 20) + "b" + Repeat("\xE6\x96\x87", 7) + "c";
    for (const std::int32_t size : {8, 9, 64, 65536}) {
        const TResult result = Run(text, "UTF-8", "ISO-8859-1", size, "", 1);
        EXPECT_EQ(result.Error, "") << size;
        EXPECT_EQ(result.Output, "abc") << size;
    }
    // Without Ignore the first such character fails the file.
    const TResult result = Run(text, "UTF-8", "ISO-8859-1", 64);
    EXPECT_EQ(result.Error, "Cannot convert character encoding");
    EXPECT_EQ(result.Output, "a");
}

TEST_F(FileConverter, AStatefulTargetEndsInItsInitialState)
{
    const std::string text = Repeat("abc \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 50) + "\xE3\x81\x82";
    const std::string expected = OneShot("UTF-8", "ISO-2022-JP", text);
    ASSERT_EQ(expected.substr(expected.size() - 3), "\x1B(B");
    for (const std::int32_t size : {16, 17, 100, 65536}) {
        const TResult result = Run(text, "UTF-8", "ISO-2022-JP", size);
        EXPECT_EQ(result.Error, "") << size;
        EXPECT_EQ(result.Output, expected) << size;
    }
}

TEST_F(FileConverter, AnEngineThatCannotStartFailsTheFile)
{
    EXPECT_EQ(Run("abc", "UTF-8", "NO-SUCH-ENCODING", 64).Error, "Cannot start converting character encoding");
    EXPECT_EQ(Run("abc", "NO-SUCH-ENCODING", "UTF-8", 64).Error, "Cannot start converting character encoding");
    EXPECT_EQ(Run("abc", "UTF-8", "UTF-8//IGNORE", 64).Error, "Cannot start converting character encoding");
    EXPECT_EQ(Run("abc", "UTF-8", "UTF-8", 64, "", 3).Error, "Cannot start converting character encoding");
    // The engine is free for the next file.
    const TResult result = Run("abc", "UTF-8", "UTF-16BE", 64);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.Output, Bytes({0, 'a', 0, 'b', 0, 'c'}));
}

TEST_F(FileConverter, FilesThatCannotBeOpenedFailTheFile)
{
    std::filesystem::create_directory(Dir / "folder");
    EXPECT_EQ(RunFile(Dir / "folder", "UTF-8", "UTF-8", 64).Error, "Cannot open source file");
    EXPECT_EQ(RunFile(Dir / "missing", "UTF-8", "UTF-8", 64).Error, "Cannot open source file");
    ASSERT_EQ(::mkfifo((Dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(RunFile(Dir / "pipe", "UTF-8", "UTF-8", 64).Error, "Cannot open source file");
}

// Into an open descriptor: the file stays open for the caller, and a missing one (no temporary
// file could be made) fails only after the source opened, so a missing source is named first.
TEST_F(FileConverter, AnOpenTemporaryFileStaysOpenAndAMissingOneFailsAfterTheSource)
{
    WriteFile(Source, "abc");
    TFileConverter converter(*Engine, "UTF-8", "UTF-16LE", 0, 64, "SIG");
    const int fd = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    converter.ConvertFile(Source, fd);
    EXPECT_EQ(::write(fd, "!", 1), 1) << "still open";
    ::close(fd);
    EXPECT_EQ(ReadFile(Temp), std::string("SIGa\0b\0c\0!", 10));

    for (const auto& [source, message] : {std::pair{Source, "Cannot create temporary file"},
                                          std::pair{Dir / "missing", "Cannot open source file"}}) {
        try {
            converter.ConvertFile(source, -1);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

// The conversion in a child whose files may not grow beyond Limit bytes, as on a full disk: the
// failure message, or "" for success.
std::string ConvertWithFileSizeLimit(TLumiva& Engine, const std::string& Source, const std::string& Temp,
                                     std::uint64_t Limit, const std::string& Signature,
                                     std::uint64_t StreamAbove = DefaultStreamAbove, const std::string& From = "ISO-8859-1",
                                     const std::string& To = "UTF-16LE")
{
    return lmvtest::WithFileSizeLimit(Limit, [&] {
        try {
            TFileConverter converter(Engine, From, To, 0, 4096, Signature);
            converter.StreamAbove = StreamAbove;
            lmvtest::ConvertInto(converter, Source, Temp);
        } catch (const EConvertError& e) {
            return std::string(e.what());
        }
        return std::string();
    });
}

TEST_F(FileConverter, AFullDiskFailsTheWriteToTheTemporaryFile)
{
    const std::string text = Repeat("full disk ", 10000);
    WriteFile(Source, text);

    WriteFile(Temp, "");
    EXPECT_EQ(ConvertWithFileSizeLimit(*Engine, Source, Temp, 50000, "SIG"), "Cannot write to temporary file");
    EXPECT_EQ(ReadFile(Temp).size(), 50000u);
    // Not even the signature fits.
    WriteFile(Temp, "");
    EXPECT_EQ(ConvertWithFileSizeLimit(*Engine, Source, Temp, 2, "SIG"), "Cannot write to temporary file");
    // With room enough the same child succeeds.
    WriteFile(Temp, "");
    EXPECT_EQ(ConvertWithFileSizeLimit(*Engine, Source, Temp, 1 << 20, "SIG"), "");
    EXPECT_EQ(ReadFile(Temp), "SIG" + OneShot("ISO-8859-1", "UTF-16LE", text));
}

TEST_F(FileConverter, ASourceShorterThanItsSizeFailsTheRead)
{
    // sysfs files claim a page and hold a few bytes: the read comes up short.
    for (const char* name : {"/sys/devices/system/cpu/online", "/sys/kernel/mm/transparent_hugepage/enabled"}) {
        struct stat st;
        if (::stat(name, &st) != 0 || st.st_size != 4096 || ReadFile(name).size() >= 4096)
            continue;
        for (const std::uint64_t above : {DefaultStreamAbove, std::uint64_t{0}}) {
            StreamAbove = above; // also read ahead on a thread of its own
            EXPECT_EQ(RunFile(name, "ISO-8859-1", "ISO-8859-1", 64).Error, "Cannot read from source file") << above;
            EXPECT_EQ(RunFile(name, "ISO-8859-1", "ISO-8859-1", 65536).Error, "Cannot read from source file") << above;
        }
        return;
    }
    GTEST_SKIP() << "no sysfs file that claims more than it holds";
}

// ---- Large files: read ahead and written behind the conversion on threads of their own. A
// StreamAbove of 0 sends any file that way, larger than any buffer so that the rings wrap;
// StreamAbove at its largest reads and writes in turn on the caller's thread.

constexpr std::uint64_t NeverStream = ~std::uint64_t{0};

// Size bytes of UTF-8 text of one, two, three and four byte characters, lines of odd lengths.
std::string LargeUtf8Text(std::size_t Size)
{
    const std::string words[] = {"Zw\xC3\xB6lf ", "\xD0\xB1\xD1\x83\xD0\xBB\xD0\xBE\xD0\xBA ", "\xE6\x95\x8F\xE6\x8D\xB7 ",
                                 "\xF0\x9F\x98\x80 ", "plain ", "text\n", "caf\xC3\xA9\n"};
    std::string text;
    for (std::size_t i = 0; text.size() < Size; ++i)
        text += words[(i * 7 + i / 5) % std::size(words)];
    while (text.size() > Size)
        text.pop_back();
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
        text.pop_back(); // no character cut in two
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0)
        text.pop_back();
    return text;
}

// The text's characters up to U+00FF in ISO-8859-1; the others left out.
std::string Latin1Of(const std::string& Utf8)
{
    std::string latin;
    for (std::size_t i = 0; i < Utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Utf8[i]);
        if (c < 0x80)
            latin += Utf8[i];
        else if ((c == 0xC2 || c == 0xC3) && i + 1 < Utf8.size())
            latin += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(Utf8[++i]) & 0x3F));
    }
    return latin;
}

struct TStreamed {
    TResult Result;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> Reads;
};

TEST_F(FileConverter, LargeFilesReadAheadAndWrittenBehindGiveTheSameBytesAndProgress)
{
    const std::string utf8 = LargeUtf8Text(1200 * 1024);
    const std::string latin = Latin1Of(utf8);
    const std::string utf16 = *lmvtest::IconvOnce("UTF-8", "UTF-16", utf8);
    struct TCase {
        const char* From;
        const char* To;
        const std::string& Text;
    };
    for (const TCase& c : {TCase{"ISO-8859-1", "UTF-8", latin}, TCase{"UTF-8", "UTF-16LE", utf8},
                           TCase{"UTF-16", "UTF-8", utf16}, TCase{"UTF-8", "UTF-7", utf8}}) {
        const std::optional<std::string> expected = lmvtest::IconvOnce(c.From, c.To, c.Text);
        ASSERT_TRUE(expected) << c.From << " -> " << c.To;
        WriteFile(Source, c.Text);
        for (const std::int32_t size : {16, 4097, 65536, (1 << 20) + 1}) {
            TStreamed runs[2];
            for (const int streamed : {0, 1}) {
                StreamAbove = streamed ? 0 : NeverStream;
                auto& reads = runs[streamed].Reads;
                OnRead = [&reads](std::uint64_t Done, std::uint64_t Size) { reads.emplace_back(Done, Size); };
                runs[streamed].Result = RunFile(Source, c.From, c.To, size, "SIG");
            }
            const std::string what = std::string(c.From) + " -> " + c.To + " size " + std::to_string(size);
            EXPECT_EQ(runs[1].Result.Error, "") << what;
            EXPECT_TRUE(runs[1].Result.Output == "SIG" + *expected) << what << ": " << runs[1].Result.Output.size()
                                                                      << " bytes of " << expected->size() + 3;
            EXPECT_TRUE(runs[1].Result.Output == runs[0].Result.Output) << what;
            EXPECT_EQ(runs[1].Reads, runs[0].Reads) << what;
            ASSERT_FALSE(runs[1].Reads.empty()) << what;
            EXPECT_EQ(runs[1].Reads.back(), std::make_pair(std::uint64_t{c.Text.size()}, std::uint64_t{c.Text.size()}));
        }
    }
}

// A file above the size where reading ahead starts, failing on its first, a middle and its last
// byte: the same message, the same place named and the same output before it as read in turn.
TEST_F(FileConverter, AContentFailureInALargeFileIsNamedAfterTheSameOutput)
{
    const std::string text = LargeUtf8Text(DefaultStreamAbove + 300000);
    for (std::size_t at : {std::size_t{0}, text.size() / 2, text.size() - 1}) {
        while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            --at; // no character cut in two before the bad byte
        std::string bad = text;
        bad[at] = '\xFF';
        WriteFile(Source, bad);
        TResult runs[2];
        TResult checks[2];
        for (const int streamed : {0, 1}) {
            StreamAbove = streamed ? DefaultStreamAbove : NeverStream;
            runs[streamed] = RunFile(Source, "UTF-8", "UTF-16LE", 65536);
            checks[streamed] = Check("UTF-8", "UTF-16LE", 65536);
        }
        EXPECT_EQ(runs[1].Error, "Cannot convert character encoding") << at;
        EXPECT_NE(runs[1].Where, "") << at;
        EXPECT_EQ(runs[1].Where, runs[0].Where) << at;
        EXPECT_TRUE(runs[1].Output == *lmvtest::IconvOnce("UTF-8", "UTF-16LE", bad.substr(0, at))) << at;
        EXPECT_TRUE(runs[1].Output == runs[0].Output) << at;
        EXPECT_EQ(checks[1].Error, runs[1].Error) << at;
        EXPECT_EQ(checks[1].Where, runs[1].Where) << at;
    }
}

// A full disk in the middle of a large file, as when read in turn: the write fails, what fit is
// in the file, and an earlier write failure comes before a content failure further on.
TEST_F(FileConverter, AFullDiskInALargeFileFailsTheWriteBeforeALaterContentFailure)
{
    const std::string text = Latin1Of(LargeUtf8Text(3 << 20));
    const std::string expected = *lmvtest::IconvOnce("ISO-8859-1", "UTF-16LE", text);
    WriteFile(Source, text);
    const std::uint64_t limit = (1 << 20) + 3;
    for (const std::uint64_t above : {std::uint64_t{0}, NeverStream}) {
        WriteFile(Temp, "");
        EXPECT_EQ(ConvertWithFileSizeLimit(*Engine, Source, Temp, limit, "SIG", above), "Cannot write to temporary file")
            << above;
        const std::string written = ReadFile(Temp);
        EXPECT_EQ(written.size(), limit) << above;
        EXPECT_TRUE(written == ("SIG" + expected).substr(0, limit)) << above;
    }

    std::string bad = LargeUtf8Text(3 << 20);
    bad[bad.size() - 10] = '\xFF';
    WriteFile(Source, bad);
    for (const std::uint64_t above : {std::uint64_t{0}, NeverStream}) {
        WriteFile(Temp, "");
        EXPECT_EQ(ConvertWithFileSizeLimit(*Engine, Source, Temp, limit, "", above, "UTF-8", "UTF-16LE"),
                  "Cannot write to temporary file")
            << above;
        // With room enough, the content is to blame.
        WriteFile(Temp, "");
        EXPECT_EQ(ConvertWithFileSizeLimit(*Engine, Source, Temp, 64 << 20, "", above, "UTF-8", "UTF-16LE"),
                  "Cannot convert character encoding")
            << above;
    }
}

// Whatever leaves the converting thread, the threads beside it are stopped and joined, and the
// engine is free for the next file.
TEST_F(FileConverter, AnExceptionOutOfALargeFileStopsItsThreads)
{
    WriteFile(Source, LargeUtf8Text(2 << 20));
    StreamAbove = 0;
    int calls = 0;
    OnRead = [&calls](std::uint64_t, std::uint64_t) {
        if (++calls == 3)
            throw std::runtime_error("stop");
    };
    WriteFile(Temp, "");
    EXPECT_THROW(lmvtest::ConvertInto(Converter("UTF-8", "UTF-16LE", 0, 65536, ""), Source, Temp), std::runtime_error);
    EXPECT_EQ(calls, 3);

    OnRead = nullptr;
    const TResult result = Run("abc", "UTF-8", "UTF-16BE", 64);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.Output, Bytes({0, 'a', 0, 'b', 0, 'c'}));
}

// Over 4 GiB through a pipe: the count of source bytes must not wrap at 32 bits. The test run
// skips SLOW_ tests; run it with --gtest_filter='*SLOW_*'.
TEST_F(FileConverter, SLOW_SourcesBeyondFourGibibytesAreStreamedWhole)
{
    const std::uint64_t size = (std::uint64_t{1} << 32) + 4099;
    {
        const int fd = ::open(Source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size - 3)), 0); // sparse zeros
        ASSERT_EQ(::pwrite(fd, "end", 3, static_cast<off_t>(size - 3)), 3);
        ::close(fd);
    }
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::uint64_t received = 0;
    std::string tail;
    std::thread reader([&] {
        std::vector<char> buffer(1 << 20);
        ssize_t n;
        while ((n = ::read(fds[0], buffer.data(), buffer.size())) > 0) {
            received += static_cast<std::uint64_t>(n);
            tail.append(buffer.data(), static_cast<std::size_t>(n));
            if (tail.size() > 16)
                tail.erase(0, tail.size() - 16);
        }
    });
    std::string error;
    try {
        lmvtest::ConvertInto(TFileConverter(*Engine, "ISO-8859-1", "UTF-8", 0, 1 << 20, ""), Source,
                             "/proc/self/fd/" + std::to_string(fds[1]));
    } catch (const EConvertError& e) {
        error = e.what();
    }
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);
    EXPECT_EQ(error, "");
    EXPECT_EQ(received, size);
    EXPECT_EQ(tail.substr(tail.size() - 3), "end");
}

// Detection reads a file's first bytes before its conversion: the conversion goes on from them,
// on the same open file, whatever its buffers, and a name that leads elsewhere by then is not
// read again.
TEST_F(FileConverter, AConversionGoesOnFromTheSampleReadBeforeItOnTheSameOpenFile)
{
    const std::string text = Repeat("ab\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80-\xE6\x96\x87\xD0\x96z", 97);
    const std::string expected = "SIG" + OneShot("UTF-8", "UTF-16LE", text);
    const std::string moved = Dir / "moved";
    for (const std::size_t sampled : std::vector<std::size_t>{1, 7, 1000, text.size(), text.size() + 9}) {
        for (const std::int32_t size : {9, 64, 4097}) {
            for (const std::uint64_t streamAbove : {NeverStream, std::uint64_t{0}}) {
                SCOPED_TRACE(std::to_string(sampled) + " sampled, buffer " + std::to_string(size) +
                             (streamAbove == 0 ? ", read ahead" : ""));
                WriteFile(Source, text);
                TSourceFile file(Source);
                std::vector<char> room(sampled);
                ASSERT_TRUE(file.ReadSample(room));
                EXPECT_EQ(file.Sample(), std::string_view(text).substr(0, sampled));
                ASSERT_EQ(::rename(Source.c_str(), moved.c_str()), 0);
                WriteFile(Source, "another file");
                StreamAbove = streamAbove;
                WriteFile(Temp, "");
                const TFd temp(::open(Temp.c_str(), O_WRONLY | O_CLOEXEC));
                Converter("UTF-8", "UTF-16LE", 0, size, "SIG").ConvertFile(file, temp.Get());
                EXPECT_TRUE(ReadFile(Temp) == expected);
            }
        }
    }
}

TEST_F(FileConverter, AFailureAfterASampleNamesTheSamePlaceAsWithout)
{
    const std::string text = Repeat("line\n", 3000) + "ab\xFF" "cd\n";
    const TResult plain = Run(text, "UTF-8", "UTF-16LE", 64);
    ASSERT_EQ(plain.Error, "Cannot convert character encoding");
    ASSERT_FALSE(plain.Where.empty());
    TSourceFile file(Source);
    std::vector<char> room(8192);
    ASSERT_TRUE(file.ReadSample(room));
    WriteFile(Temp, "");
    const TFd temp(::open(Temp.c_str(), O_WRONLY | O_CLOEXEC));
    try {
        Converter("UTF-8", "UTF-16LE", 0, 64, "").ConvertFile(file, temp.Get());
        ADD_FAILURE() << "converted";
    } catch (const EContentError& e) {
        EXPECT_EQ(e.Where, plain.Where);
    }
    EXPECT_TRUE(ReadFile(Temp) == plain.Output);
}

} // namespace
