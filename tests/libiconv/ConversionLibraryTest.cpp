// The conversion library on its own, called through dlopen as the engine calls it.
#include "tests/common/LibiconvTest.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <set>
#include <string>
#include <vector>

namespace {

using TCallback = int (*)(unsigned int, const char* const*, void*);
using TList = void (*)(TCallback, void*);

void* const Failed = reinterpret_cast<void*>(static_cast<std::uintptr_t>(-1));
const std::size_t ConvertFailed = static_cast<std::size_t>(-1);

// What one call did.
struct TCall {
    std::string Out;
    std::size_t Consumed = 0;
    std::size_t Result = 0;
    int Error = 0;
};

class ConversionLibrary : public lmvtest::TLibiconvTest {
protected:
    void SetUp() override
    {
        List = reinterpret_cast<TList>(dlsym(Handle, "libiconvlist"));
        ASSERT_TRUE(Library.Open && Library.Convert && Library.Close && List);
    }

    std::vector<std::vector<std::string>> Groups() const
    {
        std::vector<std::vector<std::string>> groups;
        List(
            [](unsigned int count, const char* const* names, void* data) {
                static_cast<std::vector<std::vector<std::string>>*>(data)->emplace_back(names, names + count);
                return 0;
            },
            &groups);
        return groups;
    }

    // Converts In in one call into OutSpace bytes.
    static TCall ConvertOnce(const char* To, const char* From, const std::string& In, std::size_t OutSpace)
    {
        TCall call;
        void* cd = Library.Open(To, From);
        EXPECT_NE(cd, Failed) << To << " <- " << From;
        if (cd == Failed)
            return call;
        call.Out.resize(OutSpace);
        char* inPtr = const_cast<char*>(In.data());
        std::size_t inLeft = In.size();
        char* outPtr = call.Out.data();
        std::size_t outLeft = OutSpace;
        errno = 0;
        call.Result = Library.Convert(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        call.Error = errno;
        EXPECT_EQ(Library.Close(cd), 0);
        call.Consumed = In.size() - inLeft;
        call.Out.resize(OutSpace - outLeft);
        return call;
    }

    TList List = nullptr;
};

// Defined global symbols in the dynamic symbol table of a 64-bit ELF file.
std::set<std::string> ExportedSymbols(const std::string& Path)
{
    const std::string image = lmvtest::ReadFile(Path);
    std::set<std::string> names;
    Elf64_Ehdr header;
    if (image.size() < sizeof header)
        return names;
    std::memcpy(&header, image.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
        return names;
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), image.data() + header.e_shoff, header.e_shnum * sizeof(Elf64_Shdr));
    for (const auto& section : sections) {
        if (section.sh_type != SHT_DYNSYM)
            continue;
        const char* strings = image.data() + sections.at(section.sh_link).sh_offset;
        for (std::size_t i = 0; i < section.sh_size / sizeof(Elf64_Sym); ++i) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, image.data() + section.sh_offset + i * sizeof symbol, sizeof symbol);
            const unsigned bind = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK))
                names.insert(strings + symbol.st_name);
        }
    }
    return names;
}

// The names that the iconv program lists, trailing "//" dropped; empty when it cannot run.
std::set<std::string> IconvProgramNames()
{
    std::set<std::string> names;
    FILE* pipe = popen("iconv -l 2>/dev/null", "r");
    if (!pipe)
        return names;
    std::string all;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        all.append(buffer, n);
    pclose(pipe);
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t stop = all.find_first_of(" \t\r\n,", start);
        std::string word = all.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
        if (word.size() >= 2 && word.compare(word.size() - 2, 2, "//") == 0)
            word.resize(word.size() - 2);
        if (!word.empty())
            names.insert(word);
        if (stop == std::string::npos)
            break;
        start = stop + 1;
    }
    return names;
}

TEST_F(ConversionLibrary, ExportsOnlyTheFourEntryPoints)
{
    const std::set<std::string> exported = ExportedSymbols(lmvtest::BinDir() + "/liblumiva-iconv.so");
    EXPECT_EQ(exported, (std::set<std::string>{"libiconv", "libiconv_close", "libiconv_open", "libiconvlist"}));
}

TEST_F(ConversionLibrary, ListsEveryNameTheIconvProgramLists)
{
    const std::set<std::string> program = IconvProgramNames();
    if (program.empty())
        GTEST_SKIP() << "the iconv program is not available";
    std::set<std::string> listed;
    std::size_t count = 0;
    for (const auto& group : Groups())
        for (const auto& name : group) {
            listed.insert(name);
            ++count;
        }
    EXPECT_EQ(count, listed.size()) << "a name is listed twice";
    EXPECT_GE(listed.size(), program.size());
    std::vector<std::string> missing;
    for (const auto& name : program)
        if (listed.count(name) == 0)
            missing.push_back(name);
    EXPECT_TRUE(missing.empty()) << missing.size() << " missing, first: " << missing.front();
    std::printf("[ listing  ] %zu names in %zu groups; iconv -l prints %zu\n", listed.size(), Groups().size(),
                program.size());
}

TEST_F(ConversionLibrary, EveryListedNameOpensAsSourceAndTarget)
{
    std::vector<std::string> refused;
    std::size_t tried = 0;
    for (const auto& group : Groups()) {
        EXPECT_FALSE(group.empty());
        for (const auto& name : group) {
            const std::string targets[] = {name, name + "//IGNORE", name + "//TRANSLIT"};
            for (const auto& target : targets) {
                void* cd = Library.Open(target.c_str(), "UTF-8");
                if (cd == Failed)
                    refused.push_back(target + " as target");
                else
                    Library.Close(cd);
            }
            void* cd = Library.Open("UTF-8", name.c_str());
            if (cd == Failed)
                refused.push_back(name + " as source");
            else
                Library.Close(cd);
            ++tried;
        }
    }
    EXPECT_GT(tried, 100u);
    EXPECT_TRUE(refused.empty()) << refused.size() << " refused, first: " << refused.front();
}

TEST_F(ConversionLibrary, GroupsHoldAliasesOfOneEncoding)
{
    const auto groups = Groups();
    auto groupOf = [&](const std::string& name) -> const std::vector<std::string>* {
        for (const auto& group : groups)
            for (const auto& member : group)
                if (member == name)
                    return &group;
        return nullptr;
    };
    const auto* latin1 = groupOf("ISO-8859-1");
    ASSERT_NE(latin1, nullptr);
    EXPECT_EQ(groupOf("LATIN1"), latin1);
    EXPECT_EQ(groupOf("CP819"), latin1);
    ASSERT_NE(groupOf("UTF-8"), nullptr);
    EXPECT_EQ(groupOf("UTF8"), groupOf("UTF-8"));
    EXPECT_NE(groupOf("UTF-16"), groupOf("UTF-8"));
    // Built-in names that no configuration file holds.
    EXPECT_NE(groupOf("WCHAR_T"), nullptr);
    EXPECT_NE(groupOf("UCS-2BE"), nullptr);
    EXPECT_EQ(groupOf("ANSI_X3.4-1968"), groupOf("ASCII"));
    EXPECT_EQ(groupOf("INTERNAL"), nullptr);
}

TEST_F(ConversionLibrary, NonZeroFromTheCallbackStopsTheListing)
{
    int calls = 0;
    List(
        [](unsigned int, const char* const*, void* data) {
            ++*static_cast<int*>(data);
            return 1;
        },
        &calls);
    EXPECT_EQ(calls, 1);
}

TEST_F(ConversionLibrary, IgnoreSkipsToTheEndInOneCall)
{
    // glibc alone stops a few kilobytes after the first character it drops.
    std::string in(200000, 'a');
    for (std::size_t at : {10u, 9000u, 150000u})
        in[at] = '\xFF'; // invalid
    for (std::size_t at : {20u, 70000u, 199998u})
        in.replace(at, 2, "\xC3\xA9"); // no place in ASCII
    const TCall call = ConvertOnce("ASCII//IGNORE", "UTF-8", in, in.size());
    EXPECT_EQ(call.Consumed, in.size());
    EXPECT_EQ(call.Out, std::string(in.size() - 9, 'a'));
    EXPECT_EQ(call.Result, ConvertFailed);
    EXPECT_EQ(call.Error, EILSEQ);
}

TEST_F(ConversionLibrary, IgnoreDropsUnconvertibleCharactersThroughSeveralSteps)
{
    std::string in;
    for (int i = 0; i < 30000; ++i)
        in += "\x80x"; // the euro sign of CP1252 has no place in ISO-8859-2
    const TCall latin2 = ConvertOnce("ISO-8859-2//ignore", "CP1252", in, in.size());
    EXPECT_EQ(latin2.Consumed, in.size());
    EXPECT_EQ(latin2.Out, std::string(30000, 'x'));

    std::string accents;
    for (int i = 0; i < 50000; ++i)
        accents += "\xC3\xA9";
    accents += "end";
    // Both suffixes at once: the invalid byte at the end is skipped too.
    const TCall ascii = ConvertOnce("ASCII//TRANSLIT//IGNORE", "UTF-8", accents + "\xFF", 1000000);
    EXPECT_EQ(ascii.Consumed, accents.size() + 1);
    EXPECT_TRUE(ascii.Out.ends_with("end"));
}

TEST_F(ConversionLibrary, IgnoreStillReportsFullOutputAndIncompleteInput)
{
    const std::string in = std::string(100, 'a') + "\xFF" + std::string(100, 'b') + "\xC3";
    TCall call = ConvertOnce("ASCII//IGNORE", "UTF-8", in, 50);
    EXPECT_EQ(call.Out, std::string(50, 'a'));
    EXPECT_EQ(call.Consumed, 50u);
    EXPECT_EQ(call.Result, ConvertFailed);
    EXPECT_EQ(call.Error, E2BIG);

    call = ConvertOnce("ASCII//IGNORE", "UTF-8", in, 1000);
    EXPECT_EQ(call.Out, std::string(100, 'a') + std::string(100, 'b'));
    EXPECT_EQ(call.Consumed, in.size() - 1);
    EXPECT_EQ(call.Result, ConvertFailed);
    EXPECT_EQ(call.Error, EINVAL);
}

TEST_F(ConversionLibrary, WithoutIgnoreStopsAtInvalidInput)
{
    const TCall call = ConvertOnce("ISO-8859-1", "UTF-8", "ab\xFF" "cd", 100);
    EXPECT_EQ(call.Out, "ab");
    EXPECT_EQ(call.Consumed, 2u);
    EXPECT_EQ(call.Result, ConvertFailed);
    EXPECT_EQ(call.Error, EILSEQ);
    EXPECT_EQ(ConvertOnce("ASCII//TRANSLIT", "UTF-8", "a\xE2\x82\xAC" "b", 100).Out, "aEURb");
}

TEST_F(ConversionLibrary, NullInputFlushesTheShiftState)
{
    void* cd = Library.Open("ISO-2022-JP", "UTF-8");
    ASSERT_NE(cd, Failed);
    std::string in = "\xE6\x97\xA5"; // a kanji: switches to the JIS X 0208 set
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char out[64];
    char* outPtr = out;
    std::size_t outLeft = sizeof out;
    ASSERT_NE(Library.Convert(cd, &inPtr, &inLeft, &outPtr, &outLeft), ConvertFailed);
    const std::size_t before = sizeof out - outLeft;
    EXPECT_EQ(std::string(out, 3), "\x1B$B");
    EXPECT_NE(Library.Convert(cd, nullptr, nullptr, &outPtr, &outLeft), ConvertFailed);
    EXPECT_EQ(std::string(out + before, sizeof out - outLeft - before), "\x1B(B");
    EXPECT_EQ(Library.Close(cd), 0);
}

TEST_F(ConversionLibrary, RefusesUnknownNamesAndBadDescriptors)
{
    errno = 0;
    EXPECT_EQ(Library.Open("LMV-NO-SUCH-CHARSET", "UTF-8"), Failed);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(Library.Open("UTF-8", nullptr), Failed);

    char in[] = "a";
    char* inPtr = in;
    std::size_t inLeft = 1;
    char out[4];
    char* outPtr = out;
    std::size_t outLeft = sizeof out;
    errno = 0;
    EXPECT_EQ(Library.Convert(Failed, &inPtr, &inLeft, &outPtr, &outLeft), ConvertFailed);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(inLeft, 1u);
    errno = 0;
    EXPECT_EQ(Library.Close(nullptr), -1);
    EXPECT_EQ(errno, EBADF);
}

} // namespace
