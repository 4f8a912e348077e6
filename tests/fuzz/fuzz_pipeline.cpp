// The file pipeline as a run takes it (a temporary file made by the output placement beside the
// result, TFileConverter with the real engine, the result linked into place) against one call of
// the C library's iconv over the whole input. A file the pipeline converts must hold exactly the signature and
// iconv's output; a file it fails must be one iconv fails too (or, with a buffer too small for
// a character, one it may refuse), and with no other message than the conversion error.
//
// Input: byte 0 picks the encodings, byte 1 the translation, byte 2 the buffer size, byte 3 the
// signature; the rest is the file.

#include "engine/Lumiva.h"
#include "run/ContentError.h"
#include "run/ConvertError.h"
#include "run/FileConverter.h"
#include "run/Logger.h"
#include "run/OutputPlacement.h"
#include "tests/common/IconvOnce.h"

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <iconv.h>
#include <unistd.h>

namespace {

struct TPair {
    const char* From;
    const char* To;
};

const TPair Pairs[] = {
    {"UTF-8", "UTF-16LE"},   {"UTF-8", "UTF-16"},     {"UTF-16LE", "UTF-8"},  {"UTF-16", "UTF-8"},
    {"UTF-8", "UTF-32BE"},   {"UTF-32", "UTF-8"},     {"ISO-8859-1", "UTF-8"}, {"UTF-8", "ISO-8859-1"},
    {"UTF-8", "ASCII"},      {"SHIFT_JIS", "UTF-8"},  {"UTF-8", "SHIFT_JIS"}, {"EUC-JP", "UTF-16BE"},
    {"GB18030", "UTF-8"},    {"UTF-8", "GB18030"},    {"BIG5-HKSCS", "UTF-8"}, {"UTF-8", "BIG5-HKSCS"},
    {"ISO-2022-JP", "UTF-8"}, {"UTF-8", "ISO-2022-JP"}, {"UTF-7", "UTF-8"},   {"UTF-8", "UTF-7"},
    {"CP1258", "UTF-8"},     {"UTF-8", "CP1255"},     {"EUC-JISX0213", "UTF-8"}, {"UTF-8", "SHIFT_JISX0213"},
    {"UTF-8", "UTF-8"},      {"CP1252", "CP1251"},
};
constexpr std::size_t PairCount = sizeof Pairs / sizeof *Pairs;

const std::int32_t Sizes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 16, 17, 31, 64, 65, 100, 257, 1000, 4096, 65536};
const char* const Signatures[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
const char* const Suffixes[] = {"", "//IGNORE", "//TRANSLIT"};

TLumiva* Engine = nullptr;
std::string Folder;

// True when the C library reads a value above U+10FFFF in Text, which the conversion library
// takes as invalid input.
bool BeyondUnicode(const std::string& From, const std::string& Text)
{
    const std::optional<std::string> codes = lmvtest::IconvOnce(From, "UCS-4BE", Text, 1);
    if (!codes)
        return false;
    for (std::size_t i = 0; i + 4 <= codes->size(); i += 4)
        if (static_cast<unsigned char>((*codes)[i]) != 0 || static_cast<unsigned char>((*codes)[i + 1]) > 0x10)
            return true;
    return false;
}

// The reference; a pair the fuzzer picks always opens.
std::optional<std::string> OneShot(const std::string& From, const std::string& To, std::int32_t Translation,
                                   const std::string& Text)
{
    const iconv_t cd = ::iconv_open((To + Suffixes[Translation]).c_str(), From.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        std::abort();
    ::iconv_close(cd);
    if (!BeyondUnicode(From, Text))
        return lmvtest::IconvOnce(From, To, Text, Translation);
    // The C library takes such a value for a character (transliterates it, or writes it in UTF-8);
    // the conversion library fails on it, or drops it with "IGNORE".
    if (Translation != 1)
        return std::nullopt;
    const std::optional<std::string> codes = lmvtest::IconvOnce(From, "UCS-4BE", Text, 1);
    if (!codes)
        return std::nullopt;
    std::string characters;
    for (std::size_t i = 0; i + 4 <= codes->size(); i += 4)
        if (static_cast<unsigned char>((*codes)[i]) == 0 && static_cast<unsigned char>((*codes)[i + 1]) <= 0x10)
            characters.append(*codes, i, 4);
    return lmvtest::IconvOnce("UCS-4BE", To, characters, 1);
}

std::string ReadAll(const std::string& Name)
{
    std::ifstream in(Name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The C library does the converting and carries no coverage counters, so the fuzzer would see
// every encoding pair alike. One function per combination of pair, translation, buffer size
// class and outcome gives each combination an edge of its own to reach.
constexpr std::size_t SizeClasses = 4;
constexpr std::size_t Outcomes = 3;
constexpr std::size_t Combinations = PairCount * 3 * SizeClasses * Outcomes;

template <std::size_t N>
[[gnu::noinline]] void Reached()
{
    static volatile std::size_t count;
    count = count + N;
}

template <std::size_t... N>
constexpr auto MakeReachedTable(std::index_sequence<N...>)
{
    return std::array<void (*)(), sizeof...(N)>{&Reached<N>...};
}

const auto ReachedTable = MakeReachedTable(std::make_index_sequence<Combinations>());

void Note(std::size_t Pair, std::int32_t Translation, std::int32_t BufferSize, std::size_t Outcome)
{
    const std::size_t sizeClass = BufferSize <= 4 ? 0 : BufferSize <= 16 ? 1 : BufferSize <= 256 ? 2 : 3;
    ReachedTable[((Pair * 3 + static_cast<std::size_t>(Translation)) * SizeClasses + sizeClass) * Outcomes + Outcome]();
}

void Fail(const char* What, const TPair& Pair, std::int32_t Translation, std::int32_t Size)
{
    std::fprintf(stderr, "%s: %s -> %s%s, buffer size %d\n", What, Pair.From, Pair.To, Suffixes[Translation],
                 static_cast<int>(Size));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Files on a memory disk when there is one; the temporary files go there too.
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    base += "/lmvfuzz-XXXXXX";
    if (!::mkdtemp(base.data()))
        std::abort();
    Folder = base;
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(Folder, error);
    });
    ::setenv("TMPDIR", Folder.c_str(), 1);
    // The conversion library transliterates with the tables of C.UTF-8 whatever the locale; the
    // reference (the C library's iconv in this process) reads this process's own.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::abort();
    Engine = new TLumiva();
    for (const TPair& pair : Pairs)
        if (!Engine->NameList().Find(pair.From) || !Engine->NameList().Find(pair.To)) {
            std::fprintf(stderr, "the engine does not know %s or %s\n", pair.From, pair.To);
            std::abort();
        }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size < 4)
        return -1;
    const std::size_t pairIndex = Data[0] % PairCount;
    const TPair& pair = Pairs[pairIndex];
    const std::int32_t translation = Data[1] % 3;
    const std::int32_t bufferSize = Sizes[Data[2] % (sizeof Sizes / sizeof *Sizes)];
    const std::string signature = Signatures[Data[3] % 4];
    const std::string text(reinterpret_cast<const char*>(Data) + 4, Size - 4);

    const std::string source = Folder + "/source";
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    // Each result replaces the last one, as a run answers "Yes to All".
    TConvertOptions options = DefaultConvertOptions();
    options.Output = omDirectory;
    options.OutputDirectory = Folder;
    TLogger logger;
    TOutputPlacement placement(options, logger, [](const std::string&) { return 1; }, [] {});
    const std::string destination = Folder + "/result";
    TTemporaryFile temporary = placement.MakeTempFile(destination);
    TFileConverter converter(*Engine, pair.From, pair.To, translation, bufferSize, signature);
    std::optional<std::string> error;
    std::string where;
    std::string output;
    try {
        converter.ConvertFile(source, temporary.Handle());
        placement.CopyToDestination(temporary, destination);
        output = ReadAll(destination);
    } catch (const EContentError& e) {
        error = e.what();
        where = e.Where;
    } catch (const EConvertError& e) {
        error = e.what();
    }
    if (error)
        output = ReadAll("/proc/self/fd/" + std::to_string(temporary.Handle()));
    placement.DeleteTemporaryFile(temporary);

    // The engine drops a UTF-8 signature that the first chunk holds whole.
    std::string expectedInput = text;
    const std::int32_t inSize = bufferSize / 2;
    if (std::string(pair.From) == "UTF-8" && inSize >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        expectedInput.erase(0, 3);
    const std::optional<std::string> reference = OneShot(pair.From, pair.To, translation, expectedInput);

    Note(pairIndex, translation, bufferSize, !error ? 0 : reference ? 1 : 2);
    if (!error) {
        if (!reference)
            Fail("converted a text that iconv refuses", pair, translation, bufferSize);
        if (output != signature + *reference)
            Fail("output differs from iconv's", pair, translation, bufferSize);
        return 0;
    }
    if (*error != "Cannot convert character encoding")
        Fail(error->c_str(), pair, translation, bufferSize);
    // What stopped the file lies inside it, and a text that converts has nothing to blame.
    if (!where.empty()) {
        const std::size_t at = where.rfind("(offset ");
        if (at == std::string::npos || std::strtoull(where.c_str() + at + 8, nullptr, 10) >= text.size())
            Fail(("offset outside the file: " + where).c_str(), pair, translation, bufferSize);
        if (reference)
            Fail(("blamed the content of a text that iconv converts: " + where).c_str(), pair, translation,
                 bufferSize);
    }
    // A buffer too small for one character (or for what transliteration makes of it) fails.
    const std::int32_t enough = translation == 2 ? 512 : 64;
    if (reference && bufferSize >= enough)
        Fail("refused a text that iconv converts", pair, translation, bufferSize);
    return 0;
}
