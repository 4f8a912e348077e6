// lumiva-batch against the iconv program: every character of the C library's charmaps both ways,
// at buffer sizes from 2 bytes to 64 KiB, byte for byte; invalid and cut sequences across chunk
// boundaries fail the file with the one conversion error and leave no destination.

#include "engine/Lumiva.h"
#include "tests/common/TestSupport.h"
#include "tests/faults/BatchRunner.h"
#include "tests/faults/FaultSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <iconv.h>

namespace {

using namespace lmvfault;
using lmvtest::ListDir;
using lmvtest::ReadFile;
using lmvtest::WriteFile;

const std::string CharmapFolder = "/usr/share/i18n/charmaps";
const std::vector<int> BufferSizes = {2, 3, 7, 64, 4096, 65536};

// The engine's names: lumiva-batch accepts only these.
const TLumiva& Engine()
{
    static const TLumiva engine;
    return engine;
}

bool EngineKnows(const std::string& Name)
{
    return Engine().NameList().Find(Name);
}

// One conversion descriptor for many short texts, each from the initial state.
class TConverter {
public:
    TConverter(const std::string& From, const std::string& To) : Cd(::iconv_open(To.c_str(), From.c_str())) {}
    ~TConverter()
    {
        if (Valid())
            ::iconv_close(Cd);
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    bool Valid() const { return Cd != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> Convert(const std::string& Text)
    {
        ::iconv(Cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[256];
        char* in = const_cast<char*>(Text.data());
        std::size_t inLeft = Text.size();
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        if (::iconv(Cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
            ::iconv(Cd, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        return std::string(buffer, sizeof buffer - outLeft);
    }

private:
    iconv_t Cd;
};

struct TCharmap {
    std::string Name;                 // as the engine spells it; empty when unknown
    std::vector<std::string> Aliases; // the code set name and its aliases
    std::vector<std::pair<std::u32string, std::string>> Chars; // code points (one or a pair), bytes
};

std::string ReadCommand(const std::string& Command)
{
    std::string text;
    FILE* pipe = ::popen(Command.c_str(), "r");
    if (!pipe)
        return text;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    ::pclose(pipe);
    return text;
}

// The <U....> /xNN... lines of a charmap: single code points only (no ranges, no sequences).
TCharmap ReadCharmap(const std::string& File)
{
    TCharmap map;
    const std::string text = ReadCommand("gzip -dc '" + CharmapFolder + "/" + File + ".gz'");
    char escape = '/';
    bool inMap = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!inMap) {
            if (line.rfind("<code_set_name>", 0) == 0)
                map.Aliases.insert(map.Aliases.begin(), line.substr(line.find_first_not_of(" \t", 15)));
            else if (line.rfind("% alias ", 0) == 0)
                map.Aliases.push_back(line.substr(8));
            else if (line.rfind("<escape_char>", 0) == 0)
                escape = line[line.find_first_not_of(" \t", 13)];
            else if (line == "CHARMAP")
                inMap = true;
            continue;
        }
        if (line.rfind("END CHARMAP", 0) == 0)
            break;
        std::u32string codes;
        // Pairs of code points stand commented out (localedef takes none); iconv knows them.
        const bool commented = line.compare(0, 3, "%<U") == 0;
        std::size_t p = commented ? 1 : 0;
        while (p + 2 < line.size() && line.compare(p, 2, "<U") == 0) {
            const std::size_t close = line.find('>', p);
            if (close == std::string::npos || close > p + 10)
                break;
            codes += static_cast<char32_t>(std::stoul(line.substr(p + 2, close - p - 2), nullptr, 16));
            p = close + 1;
        }
        if (codes.empty() || codes.size() > 2 || (commented && codes.size() != 2))
            continue;
        p = line.find_first_not_of(" \t", p);
        if (p == std::string::npos || line[p] != escape)
            continue; // a range
        std::string bytes;
        while (p + 3 < line.size() && line[p] == escape && line[p + 1] == 'x') {
            bytes += static_cast<char>(std::stoi(line.substr(p + 2, 2), nullptr, 16));
            p += 4;
        }
        if (bytes.empty() || (p < line.size() && line[p] != ' ' && line[p] != '\t'))
            continue;
        map.Chars.emplace_back(codes, bytes);
    }
    for (const std::string& alias : map.Aliases) {
        std::size_t index = 0;
        TConverter probe(alias, "UTF-8");
        if (Engine().NameList().Find(alias, &index) && probe.Valid()) {
            map.Name = Engine().NameList()[index];
            break;
        }
    }
    return map;
}

// The characters of one direction that iconv maps, in the source encoding, with the size of
// each one's conversion.
struct TDirection {
    struct TChar {
        char32_t Code;
        std::string In;
        std::size_t OutSize;
    };

    std::string From;
    std::string To;
    std::vector<TChar> Chars;
    std::string Newline; // in the source encoding; empty when not mapped

    static bool Fits(const TChar& Char, int BufferSize)
    {
        const std::size_t in = static_cast<std::size_t>(BufferSize) / 2;
        return in >= Char.In.size() && static_cast<std::size_t>(BufferSize) - in >= Char.OutSize;
    }

    // The characters that fit in BufferSize: all of them in charmap order, then a shuffled run
    // of at most 6000 with line breaks.
    std::vector<std::string> Texts(int BufferSize, std::size_t& Count) const
    {
        std::vector<std::string> chars;
        for (const TChar& c : Chars)
            if (Fits(c, BufferSize))
                chars.push_back(c.In);
        Count = chars.size();
        std::string ordered;
        for (const std::string& c : chars)
            ordered += c;
        std::mt19937 random(static_cast<unsigned>(Chars.size()));
        // The first character stays first (never a UTF-8 signature, see MakeDirection).
        std::shuffle(chars.begin() + (chars.empty() ? 0 : 1), chars.end(), random);
        chars.resize(std::min<std::size_t>(chars.size(), 6000));
        std::string mixed;
        for (std::size_t i = 0; i < chars.size(); ++i) {
            mixed += chars[i];
            if (i % 37 == 36 && Newline.size() <= static_cast<std::size_t>(BufferSize) / 2)
                mixed += Newline;
        }
        return {ordered, mixed};
    }
};

// Combining marks, which some decoders (CP1255, CP1258, TCVN) compose with the character before.
bool IsCombining(char32_t Code)
{
    return (Code >= 0x0300 && Code <= 0x036F) || (Code >= 0x0483 && Code <= 0x0489) ||
           (Code >= 0x0591 && Code <= 0x05C7) || (Code >= 0x0610 && Code <= 0x065F) ||
           (Code >= 0x0E31 && Code <= 0x0E4E) || (Code >= 0x1DC0 && Code <= 0x1DFF) ||
           (Code >= 0x20D0 && Code <= 0x20FF) || (Code >= 0x302A && Code <= 0x302F) ||
           (Code >= 0x3099 && Code <= 0x309A);
}

TDirection MakeDirection(const TCharmap& Map, bool IntoUtf8)
{
    TDirection direction;
    direction.From = IntoUtf8 ? Map.Name : "UTF-8";
    direction.To = IntoUtf8 ? "UTF-8" : Map.Name;
    TConverter converter(direction.From, direction.To);
    for (const auto& [codes, bytes] : Map.Chars) {
        const std::string in =
            IntoUtf8 ? bytes
                     : Iconv("UTF-32LE", "UTF-8", std::string(reinterpret_cast<const char*>(codes.data()), 4 * codes.size()))
                           .value_or("");
        // A pair of code points (a base and a mark that the encoding holds as one) counts by
        // its first; the checks below are for single ones.
        const char32_t code = codes.size() == 1 ? codes[0] : 0x110000;
        const std::optional<std::string> out = converter.Convert(in);
        if (!out || out->empty())
            continue;
        // A leading U+FEFF in UTF-8 is a signature the engine drops: never first.
        if (code == 0xFEFF && direction.Chars.empty())
            continue;
        // A mark composed with the character before may come out as one character of up to
        // three UTF-8 bytes, which the output buffer must hold at once.
        const std::size_t outSize = IntoUtf8 && IsCombining(code) ? std::max<std::size_t>(out->size(), 3) : out->size();
        direction.Chars.push_back({code, in, outSize});
        if (code == U'\n')
            direction.Newline = in;
    }
    // Start with a character that fits in any buffer, so that no size loses its first one.
    const auto small = std::find_if(direction.Chars.begin(), direction.Chars.end(), [](const TDirection::TChar& c) {
        return c.In.size() == 1 && c.OutSize == 1 && c.Code != 0xFEFF;
    });
    if (small != direction.Chars.end())
        std::rotate(direction.Chars.begin(), small, small + 1);
    return direction;
}

// The iconv program's output for a file; nothing when it fails.
std::optional<std::string> IconvProgram(const std::string& From, const std::string& To, const std::string& File)
{
    TLaunch launch;
    launch.Program = "/usr/bin/iconv";
    launch.Args = {"-f", From, "-t", To, File};
    // The program stalls for good where the C library's JIS X 0213 decoders do (see PairDecoder).
    TBatchProcess process(launch);
    if (!process.WaitFor(30000))
        return std::nullopt;
    const TOutcome outcome = process.Finish();
    if (!outcome.Exited || outcome.ExitCode != 0)
        return std::nullopt;
    return outcome.Out;
}

TOutcome Convert(const std::string& From, const std::string& To, int BufferSize, const std::string& OutDir,
                 const std::string& TmpDir, const TNames& Files)
{
    TLaunch launch;
    launch.Args = {"--from", From, "--to", To, "--buffer-size", std::to_string(BufferSize), "--output-dir", OutDir};
    launch.Args.insert(launch.Args.end(), Files.begin(), Files.end());
    launch.TmpDir = TmpDir;
    return RunBatch(launch);
}

const std::vector<std::string> Charmaps = {
    // one byte a character
    "ISO-8859-1", "ISO-8859-2", "ISO-8859-5", "ISO-8859-7", "ISO-8859-8", "ISO-8859-15", "ISO-8859-16",
    "CP1250", "CP1251", "CP1252", "CP1253", "CP1256", "CP1257", "KOI8-R", "KOI8-U", "IBM437", "IBM850",
    "IBM866", "IBM037", "IBM1047", "MACINTOSH", "MAC-CYRILLIC", "TIS-620", "VISCII", "ARMSCII-8",
    "GEORGIAN-PS", "PT154", "HP-ROMAN8",
    // combining marks held back to compose, or written as a prefix
    "CP1255", "CP1258", "TCVN5712-1", "ISO_6937",
    // several bytes a character
    "EUC-JP", "SHIFT_JIS", "WINDOWS-31J", "EUC-KR", "CP949", "JOHAB", "GBK", "GB2312", "GB18030", "BIG5",
    "BIG5-HKSCS", "EUC-TW", "EUC-JISX0213", "SHIFT_JISX0213", "EUC-JP-MS"};

std::string TestName(const testing::TestParamInfo<std::string>& Info)
{
    std::string name = Info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class Differential : public testing::TestWithParam<std::string> {
protected:
    lmvtest::TempDir Root;
};

TEST_P(Differential, EveryCharacterBothWaysEqualsIconvAtEveryBufferSize)
{
    const TCharmap map = ReadCharmap(GetParam());
    if (map.Name.empty())
        GTEST_SKIP() << GetParam() << ": neither iconv nor the engine knows it";
    ASSERT_GT(map.Chars.size(), 60u) << "charmap not read";
    const std::string tmp = Root / "tmp";
    MakeDir(tmp);

    for (const bool intoUtf8 : {true, false}) {
        const TDirection direction = MakeDirection(map, intoUtf8);
        SCOPED_TRACE(direction.From + " -> " + direction.To);
        ASSERT_GT(direction.Chars.size(), 60u);
        const std::string tag = intoUtf8 ? "in" : "out";
        // Each size takes the characters that fit in it; sizes with the same ones share files.
        std::size_t lastCount = 0;
        TNames files;
        std::vector<std::string> expected;
        std::string sizeList;
        for (const int size : BufferSizes) {
            std::size_t count = 0;
            const std::vector<std::string> texts = direction.Texts(size, count);
            if (count < 10)
                continue;
            SCOPED_TRACE("buffer size " + std::to_string(size) + ", " + std::to_string(count) + " characters");
            sizeList += (sizeList.empty() ? "" : " ") + std::to_string(size) + ":" + std::to_string(count);
            if (count != lastCount) {
                lastCount = count;
                files.clear();
                expected.clear();
                for (std::size_t i = 0; i < texts.size(); ++i) {
                    const std::string file = Root / (tag + std::to_string(size) + "-" + std::to_string(i) + ".txt");
                    WriteFile(file, texts[i]);
                    const std::optional<std::string> reference = IconvProgram(direction.From, direction.To, file);
                    ASSERT_TRUE(reference) << "iconv fails on " << file;
                    files.push_back(file);
                    expected.push_back(*reference);
                }
            }
            const std::string out = Root / (tag + "-out" + std::to_string(size));
            const TOutcome outcome = Convert(direction.From, direction.To, size, out, tmp, files);
            const TRunLog log = ParseLog(outcome.Out);
            ASSERT_TRUE(log.WellFormed && log.Files.size() == files.size()) << outcome.Describe();
            for (std::size_t i = 0; i < files.size(); ++i) {
                const std::string destination = out + "/" + files[i].substr(files[i].rfind('/') + 1);
                ASSERT_TRUE(log.Files[i].Succeeded) << outcome.Describe();
                const std::string result = ReadFile(destination);
                if (result != expected[i]) {
                    std::size_t at = 0;
                    while (at < result.size() && at < expected[i].size() && result[at] == expected[i][at])
                        ++at;
                    ADD_FAILURE() << files[i] << ": " << result.size() << " bytes, iconv " << expected[i].size()
                                  << ", first difference at byte " << at;
                }
            }
            EXPECT_EQ(ListDir(tmp), TNames{});
            std::filesystem::remove_all(out);
        }
        EXPECT_EQ(lastCount, direction.Chars.size()) << "some characters fit in no buffer size";
        RecordProperty(tag + "BufferSizes", sizeList);
    }
}

INSTANTIATE_TEST_SUITE_P(Charmaps, Differential, testing::ValuesIn(Charmaps), TestName);

TEST(DifferentialSetup, EnoughCharmapsAreKnown)
{
    int known = 0;
    for (const std::string& name : Charmaps) {
        TConverter probe(name, "UTF-8");
        known += EngineKnows(name) && probe.Valid() ? 1 : 0;
    }
    EXPECT_GE(known, 30);
}

// ---- Invalid and cut-off sequences at chunk boundaries.

struct TBadInput {
    std::string Encoding;
    std::string Valid;     // one valid multi-byte character
    std::string Invalid;   // a sequence the decoder refuses
    std::string Truncated; // the start of a character, cut off by the end of the file
};

const std::vector<TBadInput> BadInputs = {
    {"UTF-8", "\xE6\x97\xA5", "\xE6\x97\x41", "\xE6\x97"},
    {"UTF-8", "\xC3\xA9", "\xFF", "\xF0\x9F\x98"},
    {"EUC-JP", "\xA4\xA2", "\xA4\x21", "\xA4"},
    {"SHIFT_JIS", "\x82\xA0", "\x82\x20", "\x82"},
    {"GBK", "\xC4\xE3", "\x81\x20", "\x81"},
    {"GB18030", "\x81\x30\x81\x30", "\x81\x30\x20\x30", "\x81\x30\x81"},
    {"BIG5", "\xA4\x40", "\xA4\x20", "\xA4"},
    {"EUC-KR", "\xB0\xA1", "\xB0\x20", "\xB0"},
    {"UTF-16LE", std::string("\x3D\xD8\x00\xDE", 4), std::string("\x00\xDC\x41\x00", 4), std::string("\x3D\xD8", 2)},
    {"UTF-16LE", std::string("\xE9\x00", 2), std::string("\x00\xDC", 2), std::string("\x41", 1)},
};

void PrintTo(const TBadInput& Bad, std::ostream* Out)
{
    *Out << Bad.Encoding;
}

std::string Ascii(const std::string& Encoding, std::size_t Count)
{
    return Encoding == "UTF-16LE" ? Repeat(std::string("a\0", 2), Count / 2) : std::string(Count, 'a');
}

class BadInput : public testing::TestWithParam<TBadInput> {
protected:
    lmvtest::TempDir Root;
};

TEST_P(BadInput, FailsTheFileWithTheConversionErrorWhereverTheChunksEnd)
{
    const TBadInput& bad = GetParam();
    ASSERT_TRUE(EngineKnows(bad.Encoding));
    ASSERT_TRUE(Iconv(bad.Encoding, "UTF-8", bad.Valid));
    ASSERT_FALSE(Iconv(bad.Encoding, "UTF-8", bad.Invalid + Ascii(bad.Encoding, 8)));
    ASSERT_FALSE(Iconv(bad.Encoding, "UTF-8", bad.Truncated));
    const std::string tmp = Root / "tmp";
    MakeDir(tmp);
    const std::size_t unit = bad.Encoding == "UTF-16LE" ? 2 : 1;
    const std::size_t charOut = Iconv(bad.Encoding, "UTF-16LE", bad.Valid)->size();

    int sizes = 0;
    for (const int size : {2, 3, 7, 8, 64, 4096}) {
        const std::size_t in = static_cast<std::size_t>(size) / 2;
        if (in < bad.Valid.size() || size - in < charOut)
            continue;
        ++sizes;
        SCOPED_TRACE("buffer size " + std::to_string(size));
        // The bad sequence starts at every offset around the first and the second chunk's end.
        struct TCase {
            std::string Name;
            std::string Text;
            bool Valid;
            std::string Where = {}; // the line after the error
        };
        std::vector<TCase> cases;
        const std::string tail = bad.Valid + Ascii(bad.Encoding, 2 * in + 4);
        for (std::size_t boundary : {in, 2 * in}) {
            for (std::size_t back = 0; back <= bad.Invalid.size() + unit && back <= boundary; back += unit) {
                const std::string lead = Ascii(bad.Encoding, boundary - back);
                const std::string id = std::to_string(boundary) + "-" + std::to_string(back);
                cases.push_back({"invalid" + id + ".txt", lead + bad.Invalid + tail, false,
                                 "\t- Invalid byte sequence at line 1, column " + std::to_string(lead.size() / unit + 1) +
                                     " (offset " + std::to_string(lead.size()) + ")"});
                cases.push_back({"cut" + id + ".txt", bad.Valid + lead + bad.Truncated, false,
                                 "\t- Incomplete character at the end of the file (offset " +
                                     std::to_string(bad.Valid.size() + lead.size()) + ")"});
                cases.push_back({"valid" + id + ".txt", lead + bad.Valid + tail, true});
            }
        }
        TNames files;
        for (const TCase& c : cases) {
            files.push_back(Root / c.Name);
            WriteFile(files.back(), c.Text);
        }
        const std::string out = Root / ("out" + std::to_string(size));
        const TOutcome outcome = Convert(bad.Encoding, "UTF-16LE", size, out, tmp, files);
        const TRunLog log = CheckedLog(outcome);
        ASSERT_EQ(log.Files.size(), cases.size()) << outcome.Describe();
        TNames produced;
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const TFileEntry& entry = log.Files[i];
            if (cases[i].Valid) {
                EXPECT_TRUE(entry.Succeeded) << cases[i].Name << "\n" << outcome.Describe();
                EXPECT_EQ(ReadFile(out + "/" + cases[i].Name),
                          Iconv(bad.Encoding, "UTF-16LE", cases[i].Text).value_or("(iconv fails)"));
                produced.push_back(cases[i].Name);
            } else {
                EXPECT_TRUE(entry.Failed) << cases[i].Name << "\n" << outcome.Describe();
                EXPECT_EQ(entry.Errors, TNames{ConvertError}) << cases[i].Name;
                EXPECT_EQ(entry.Notes, TNames{cases[i].Where}) << cases[i].Name;
            }
            EXPECT_EQ(entry.Warnings, TNames{}) << cases[i].Name;
        }
        std::sort(produced.begin(), produced.end());
        EXPECT_EQ(ListDir(out), produced) << "only the valid files have a destination";
        EXPECT_EQ(ListDir(tmp), TNames{});
        std::filesystem::remove_all(out);
        for (const std::string& file : files)
            std::filesystem::remove(file);
    }
    EXPECT_GE(sizes, 2);
}

std::string BadInputName(const testing::TestParamInfo<TBadInput>& Info)
{
    std::string name = Info.param.Encoding + "_" + std::to_string(Info.index);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Encodings, BadInput, testing::ValuesIn(BadInputs), BadInputName);

// ---- The C library's JIS X 0213 decoders, which give output forever without taking input.

// Text in which an output buffer (the pipeline's, or one inside the C library's chain of steps)
// fills between the two characters of a JIS X 0213 pair: one or two ASCII characters, then
// pairs, with the default buffer size too. The iconv program itself stalls forever on some of
// these. The conversion library works around the C library's decoders: the run ends, every file
// is exact, and no temporary file grows or stays.
TEST(PairDecoder, RunEndsAndEveryFileIsExact)
{
    lmvtest::TempDir root;
    const std::string tmp = root / "tmp";
    MakeDir(tmp);
    const std::vector<std::pair<std::string, std::string>> pairs = {{"EUC-JISX0213", "\xA5\xFC"},
                                                                    {"SHIFT_JISX0213", "\x83\x9C"}};
    for (const auto& [encoding, pair] : pairs) {
        ASSERT_EQ(Iconv(encoding, "UTF-8", pair), "\xE3\x82\xBB\xE3\x82\x9A") << encoding;
        const TNames files = {root / "odd.txt", root / "even.txt"};
        WriteFile(files[0], "a" + Repeat(pair, 20000));
        WriteFile(files[1], "ab" + Repeat(pair, 20000));
        for (const std::string to : {"UTF-16LE", "UTF-8"}) {
            for (const int size : {8, 12, 65536}) {
                SCOPED_TRACE(encoding + " -> " + to + ", buffer size " + std::to_string(size));
                const std::string out = root / "out";
                TLaunch launch;
                launch.Args = {"--from", encoding, "--to", to, "--buffer-size", std::to_string(size), "--output-dir", out};
                launch.Args.insert(launch.Args.end(), files.begin(), files.end());
                launch.TmpDir = tmp;
                // A runaway temporary file stops at this size ("Cannot write to temporary file").
                launch.FileSizeLimit = 1 << 20;
                TBatchProcess process(launch);
                if (!process.WaitFor(60000)) {
                    std::uintmax_t written = 0;
                    for (const auto& entry : std::filesystem::directory_iterator(tmp))
                        written += entry.file_size();
                    process.Kill();
                    ADD_FAILURE() << "still running after a minute, " << written << " bytes in temporary files";
                    process.Finish();
                    std::filesystem::remove_all(tmp);
                    MakeDir(tmp);
                    continue;
                }
                const TOutcome outcome = process.Finish();
                const TRunLog log = ParseLog(outcome.Out);
                ASSERT_TRUE(log.WellFormed && log.Files.size() == 2) << outcome.Describe();
                for (std::size_t i = 0; i < 2; ++i) {
                    const std::string destination = out + "/" + files[i].substr(files[i].rfind('/') + 1);
                    ASSERT_TRUE(log.Files[i].Succeeded) << files[i] << "\n" << outcome.Describe();
                    // From the text's UTF-8 form: the decoder itself is what stalls.
                    const std::string utf8 = (i == 0 ? "a" : "ab") + Repeat("\xE3\x82\xBB\xE3\x82\x9A", 20000);
                    EXPECT_EQ(ReadFile(destination), Iconv("UTF-8", to, utf8).value_or("?")) << files[i];
                }
                EXPECT_EQ(ListDir(tmp), TNames{});
                std::filesystem::remove_all(out);
            }
        }
    }
}

} // namespace
