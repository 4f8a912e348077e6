// The conversion library's fast path between the Unicode forms, ISO-8859-1 and ASCII: the same
// bytes and the same failures as the C library's path, whatever the buffer sizes.
#include "libiconv/FastTranscoder.h"
#include "libiconv/UnicodeFormNames.h"
#include "tests/common/BlockKinds.h"
#include "tests/common/TestSupport.h"
#include "tests/common/IconvDifferential.h"
#include "tests/common/IconvOnce.h"
#include "tests/common/LibiconvTest.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using lmviconv::TUnicodeForm;

class FastPath : public lmvtest::TLibiconvTest {};

// Text of every kind of character the forms meet: long ASCII runs, Latin-1, Cyrillic, CJK,
// characters beyond the BMP, the mark and the noncharacters, as UTF-32LE.
std::string MixedText(std::mt19937& Random, std::size_t Characters)
{
    static const std::uint32_t Ranges[][2] = {{0x20, 0x7E},     {0x00, 0x7F},   {0x80, 0xFF},
                                              {0x400, 0x4FF},   {0x4E00, 0x9FFF}, {0x1F600, 0x1F64F},
                                              {0x10000, 0x10FFFF}, {0xFEFF, 0xFEFF}, {0xFFFE, 0xFFFF}};
    std::string text;
    while (text.size() < Characters * 4) {
        const auto& range = Ranges[Random() % 8 == 0 ? 2 + Random() % 7 : Random() % 2];
        const std::size_t run = Random() % 4 == 0 ? 1 + Random() % 200 : 1 + Random() % 6;
        for (std::size_t i = 0; i < run; ++i) {
            const std::uint32_t cp = range[0] + Random() % (range[1] - range[0] + 1);
            for (int b = 0; b < 4; ++b)
                text += static_cast<char>(cp >> (8 * b));
        }
    }
    return text;
}

// Damage of the kinds the C library must decide on: stray bytes, a cut character, a lone
// surrogate, a code point above U+10FFFF.
void Damage(std::mt19937& Random, std::string& Text)
{
    static const std::string Bad[] = {"\xFF", "\x80", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                      std::string("\x00\xD8", 2), std::string("\x00\xDC\x41\x00", 4),
                                      std::string("\x00\x00\x11\x00", 4), std::string("\x00\x00\xD8\x00", 4), "\xE4\xB8"};
    const int count = 1 + static_cast<int>(Random() % 4);
    for (int i = 0; i < count && !Text.empty(); ++i) {
        const std::size_t at = Random() % Text.size();
        if (Random() % 2)
            Text.insert(at, Bad[Random() % std::size(Bad)]);
        else
            Text[at] = static_cast<char>(Random());
    }
    if (Random() % 3 == 0)
        Text.resize(Text.size() - Random() % std::min<std::size_t>(Text.size(), 3));
}

TEST_F(FastPath, MatchesTheCLibraryPathForEveryPairTranslationAndBufferSize)
{
    std::mt19937 random(1234);
    for (const std::string& from : lmvtest::FastPathNames()) {
        for (const std::string& to : lmvtest::FastPathNames()) {
            for (const char* suffix : {"", "//IGNORE", "//TRANSLIT"}) {
                for (int round = 0; round < 6; ++round) {
                    const std::string unicode = MixedText(random, round == 0 ? 40 : 2500);
                    std::optional<std::string> text = lmvtest::IconvOnce("UTF-32LE", from, unicode, 1);
                    ASSERT_TRUE(text.has_value()) << from;
                    if (round % 2)
                        Damage(random, *text);
                    const std::string problem =
                        lmvtest::CompareWithCLibraryPath(Library, from, to, suffix, *text, random());
                    ASSERT_EQ(problem, "");
                }
            }
        }
    }
}

// The plain UTF-16 and UTF-32 settle their byte order on the first unit the C library sees,
// skip a mark there, and keep a swapped order even after a reset: streams that start with either
// mark, with none, with a mark alone or with damage, read in pieces with resets between them.
TEST_F(FastPath, PlainUtf16AndUtf32FollowTheCLibraryOnMarksAndResets)
{
    std::mt19937 random(77);
    for (const char* form : {"UTF-16", "UTF-32"}) {
        const bool wide = std::string(form) == "UTF-32";
        for (const char* order : {"LE", "BE"}) {
            const std::string explicitForm = std::string(form) + order;
            const std::optional<std::string> body = lmvtest::IconvOnce("UTF-32LE", explicitForm, MixedText(random, 300), 1);
            ASSERT_TRUE(body.has_value());
            const std::string mark = *lmvtest::IconvOnce("UTF-32LE", explicitForm, std::string("\xFF\xFE\0\0", 4));
            const std::string other = *lmvtest::IconvOnce("UTF-32LE", explicitForm == std::string(form) + "LE" ? std::string(form) + "BE" : std::string(form) + "LE", std::string("\xFF\xFE\0\0", 4));
            const std::string streams[] = {mark + *body, *body, mark, mark + mark + *body, other + *body,
                                           mark + body->substr(0, wide ? 3 : 1), body->substr(1), mark + *body + other + *body};
            for (const std::string& stream : streams)
                for (const char* to : {"UTF-8", "UTF-16", "UTF-32", "ISO-8859-1"})
                    for (int seed = 0; seed < 24; ++seed)
                        ASSERT_EQ(lmvtest::CompareWithCLibraryPath(Library, form, to, "", stream, random()), "")
                            << explicitForm << " stream of " << stream.size() << " bytes";
        }
    }
}

// The C library writes a second mark when it transliterates in the same call as it wrote the
// first one (here a lead byte beyond U+10FFFF that it takes as a character): the fast path must
// not split that first call.
TEST_F(FastPath, TheFirstCallToAPlainTargetIsTheCLibrarysWhole)
{
    const std::string text = "IQ\xF6\x95\x95\x95" + std::string(40, 'x');
    for (const char* to : {"UTF-16", "UTF-32"})
        for (std::uint64_t seed = 0; seed < 16; ++seed)
            EXPECT_EQ(lmvtest::CompareWithCLibraryPath(Library, "UTF-8", to, "//TRANSLIT", text, seed), "");
}

TEST_F(FastPath, AliasesAndCaseReachTheSameConversion)
{
    const std::string text = "Zw\xC3\xB6lf \xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xF0\x9F\x98\x80 " + std::string(300, 'a');
    std::mt19937 random(99);
    for (const char* from : {"utf8", "ISO-10646/UTF8/", "Utf-8"})
        for (const char* to : {"utf16", "UTF-16LE//translit", "ucs-4", "latin1//IGNORE", "csASCII//TRANSLIT"}) {
            const std::string target = to;
            const std::size_t slash = target.find("//");
            EXPECT_EQ(lmvtest::CompareWithCLibraryPath(Library, from, target.substr(0, slash),
                                                       slash == std::string::npos ? "" : target.substr(slash), text,
                                                       random()),
                      "");
        }
}

TEST(UnicodeFormNames, TheCLibraryAliasesNameTheFormsWhateverTheCaseAndSuffix)
{
    using lmviconv::UnicodeFormOf;
    EXPECT_EQ(UnicodeFormOf("UTF-8"), TUnicodeForm::Utf8);
    EXPECT_EQ(UnicodeFormOf("utf8//IGNORE"), TUnicodeForm::Utf8);
    EXPECT_EQ(UnicodeFormOf("ISO-10646/UTF8/"), TUnicodeForm::Utf8);
    EXPECT_EQ(UnicodeFormOf("iso-10646/utf-8//TRANSLIT"), TUnicodeForm::Utf8);
    EXPECT_EQ(UnicodeFormOf("UTF-16"), TUnicodeForm::Utf16);
    EXPECT_EQ(UnicodeFormOf("utf16le"), TUnicodeForm::Utf16Le);
    EXPECT_EQ(UnicodeFormOf("UTF-16BE//TRANSLIT,IGNORE"), TUnicodeForm::Utf16Be);
    EXPECT_EQ(UnicodeFormOf("UTF32"), TUnicodeForm::Utf32);
    EXPECT_EQ(UnicodeFormOf("UTF-32LE/"), TUnicodeForm::Utf32Le);
    EXPECT_EQ(UnicodeFormOf("UTF32BE"), TUnicodeForm::Utf32Be);
    EXPECT_EQ(UnicodeFormOf("ISO_8859-1:1987"), TUnicodeForm::Latin1);
    EXPECT_EQ(UnicodeFormOf("l1"), TUnicodeForm::Latin1);
    EXPECT_EQ(UnicodeFormOf("8859_1"), TUnicodeForm::Latin1);
    EXPECT_EQ(UnicodeFormOf("ANSI_X3.4-1968"), TUnicodeForm::Ascii);
    EXPECT_EQ(UnicodeFormOf("us"), TUnicodeForm::Ascii);
    EXPECT_EQ(UnicodeFormOf("ISO_646.IRV:1991//IGNORE"), TUnicodeForm::Ascii);
    // Other encodings of the same family, other parts, and spellings the C library cleans up.
    for (const char* other : {"UCS-2", "UCS-4", "UNICODE", "WCHAR_T", "ISO-8859-15", "UTF-7", "", "UTF-8 ",
                              " UTF-8", "UTF@8", "ISO-10646/UCS4/", "UTF-8/X", "ISO-10646/UTF8"})
        EXPECT_EQ(UnicodeFormOf(other), std::nullopt) << other;
}

// The library asks the processor itself; the compiler's check is the reference.
TEST(FastTranscoder, PicksTheWidestBlocksTheProcessorAndTheSystemHave)
{
    __builtin_cpu_init();
    const char* expected = "sse2";
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
        __builtin_cpu_supports("bmi2"))
        expected = "avx512";
    else if (__builtin_cpu_supports("avx2"))
        expected = "avx2";
    EXPECT_EQ(std::string(lmviconv::TranscoderBlocks()), expected);
}

// The test machine may have AVX2 or AVX-512: the narrower blocks must then agree with the
// widest on their own.
TEST(FastTranscoder, SseAndAvxBlocksAgreeOnEveryPair)
{
    const std::vector<const char*> kinds = lmvtest::BlockKinds();
    if (kinds.size() == 1)
        GTEST_SKIP() << "no AVX2 here: the library test covers the SSE2 blocks";
    const TUnicodeForm forms[] = {TUnicodeForm::Utf8,    TUnicodeForm::Utf16Le, TUnicodeForm::Utf16Be,
                                  TUnicodeForm::Utf32Le, TUnicodeForm::Utf32Be, TUnicodeForm::Latin1,
                                  TUnicodeForm::Ascii};
    const char* names[] = {"UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE", "ISO-8859-1", "ASCII"};
    std::mt19937 random(5);
    for (int f = 0; f < 7; ++f) {
        for (int round = 0; round < 6; ++round) {
            std::optional<std::string> text = lmvtest::IconvOnce("UTF-32LE", names[f], MixedText(random, 3000), 1);
            ASSERT_TRUE(text.has_value());
            if (round % 2)
                Damage(random, *text);
            for (int t = 0; t < 7; ++t) {
                std::vector<std::string> results(kinds.size());
                for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
                    const auto transcode = lmviconv::FindTranscoder(forms[f], forms[t], kinds[kind]);
                    ASSERT_NE(transcode, nullptr);
                    std::string out(text->size() * 4 / (1 + round % 3) + 1, '\0');
                    const auto* in = reinterpret_cast<const unsigned char*>(text->data());
                    auto* outPtr = reinterpret_cast<unsigned char*>(out.data());
                    const auto stop = transcode(in, in + text->size(), outPtr, outPtr + out.size());
                    out.resize(static_cast<std::size_t>(outPtr - reinterpret_cast<unsigned char*>(out.data())));
                    results[kind] = std::to_string(static_cast<int>(stop)) + "@" +
                                    std::to_string(in - reinterpret_cast<const unsigned char*>(text->data())) + ":" + out;
                }
                for (std::size_t kind = 1; kind < kinds.size(); ++kind)
                    EXPECT_EQ(results[0], results[kind]) << kinds[kind] << ": " << names[f] << " -> " << names[t];
            }
        }
    }
}

} // namespace
