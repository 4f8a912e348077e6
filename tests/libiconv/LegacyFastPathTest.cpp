// The conversion library's fast path for the legacy encodings: the same bytes, results and
// failures as the C library's path for every byte of the single-byte encodings and every pair of
// the double-byte ones, to and from UTF-8, UTF-16 and UTF-32, in every translation, with the
// input in pieces, buffers from empty up and resets; and each block kind's converter, place by
// place, against the C library's iconv over the same buffers.
#include "libiconv/FastTranscoder.h"
#include "libiconv/LegacyTableCache.h"
#include "tests/common/BlockKinds.h"
#include "tests/common/IconvCall.h"
#include "tests/common/IconvDifferential.h"
#include "tests/common/IconvOnce.h"
#include "tests/common/LibiconvTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using lmviconv::TTranscodeStop;
using lmviconv::TUnicodeForm;

const char* const SingleByte[] = {"WINDOWS-1250", "CP1251",     "WINDOWS-1252", "CP1253",    "CP1254",   "CP1256",
                                  "CP1257",       "ISO-8859-2", "ISO-8859-5",   "ISO-8859-7", "ISO-8859-8", "ISO-8859-11",
                                  "ISO-8859-15",  "KOI8-R",     "KOI8-U",       "KOI8-RU",   "CP437",    "CP850",
                                  "CP866",        "MACINTOSH",  "MAC-CYRILLIC", "ISO646-DE"};
const char* const DoubleByte[] = {"CP932", "SHIFT_JIS", "EUC-JP", "GBK",  "CP936", "GB18030",
                                  "CP949", "EUC-KR",    "BIG5",   "CP950", "JOHAB"};
// Encodings that keep a state or combine characters: they stay with the C library, and must
// still come out the same.
// EBCDIC writes its line feed elsewhere, where the tables' reading of the converter looks for it.
const char* const Kept[] = {"CP1255", "CP1258", "TCVN", "BIG5-HKSCS", "ISO-2022-JP", "UTF-7", "IBM037"};
const char* const Suffixes[] = {"", "//IGNORE", "//TRANSLIT"};

class LegacyFastPath : public lmvtest::TLibiconvTest {
protected:
    // Both directions between Encoding and each Unicode form, in every translation.
    static void ExpectSameBothWays(const std::string& Encoding, const std::string& Legacy, const std::string& Unicode,
                                   std::mt19937& Random)
    {
        for (const char* form : {"UTF-8", "UTF-16", "UTF-16BE", "UTF-32", "UTF-32LE"}) {
            const std::optional<std::string> text = lmvtest::IconvOnce("UTF-32LE", form, Unicode, 1);
            ASSERT_TRUE(text.has_value()) << form;
            for (const char* suffix : Suffixes) {
                ASSERT_EQ(lmvtest::CompareWithCLibraryPath(Library, Encoding, form, suffix, Legacy, Random()), "");
                ASSERT_EQ(lmvtest::CompareWithCLibraryPath(Library, form, Encoding, suffix, *text, Random()), "");
            }
        }
    }
};

void AppendUtf32(std::string& Text, std::uint32_t Cp)
{
    for (int b = 0; b < 4; ++b)
        Text += static_cast<char>(Cp >> (8 * b));
}

// ASCII runs short and long (the blocks skip them whole), with Pieces (characters in the legacy
// encoding) put in between, one to many at a time.
std::string Interleave(std::mt19937& Random, std::vector<std::string> Pieces)
{
    std::shuffle(Pieces.begin(), Pieces.end(), Random);
    std::string text;
    for (std::size_t i = 0; i < Pieces.size();) {
        const std::size_t ascii = Random() % 3 == 0 ? Random() % 150 : Random() % 4;
        for (std::size_t a = 0; a < ascii; ++a)
            text += static_cast<char>(' ' + Random() % 95);
        for (std::size_t n = Random() % 4 == 0 ? 1 + Random() % 120 : 1 + Random() % 4; n > 0 && i < Pieces.size(); --n)
            text += Pieces[i++];
    }
    return text;
}

// The characters some bytes of Encoding stand for, as UTF-32LE, and the same text with
// characters it lacks (Latin-1, Cyrillic, CJK, beyond the BMP) that the target must refuse,
// drop or transliterate.
std::string WithStrangers(std::mt19937& Random, const std::string& Unicode)
{
    static const std::uint32_t Strangers[] = {0xE9, 0x416, 0x4E2D, 0x20AC, 0x2014, 0x1F600, 0xFFFD, 0x5C, 0xA5, 0x3000};
    std::string text;
    for (std::size_t i = 0; i + 4 <= Unicode.size(); i += 4) {
        text.append(Unicode, i, 4);
        if (Random() % 50 == 0)
            AppendUtf32(text, Strangers[Random() % std::size(Strangers)]);
    }
    return text;
}

// Damage of the kinds the C library must decide on: stray and cut bytes.
void Damage(std::mt19937& Random, std::string& Text)
{
    for (int i = 0; i < 3 && !Text.empty(); ++i)
        Text.insert(Random() % Text.size(), 1, static_cast<char>(0x80 + Random() % 128));
    Text.resize(Text.size() - Random() % std::min<std::size_t>(Text.size(), 2));
}

TEST_F(LegacyFastPath, EveryByteOfTheSingleByteEncodingsBothWays)
{
    std::mt19937 random(2201);
    for (const char* encoding : SingleByte) {
        SCOPED_TRACE(encoding);
        ASSERT_NE(lmviconv::LegacyTablesFor(encoding), nullptr);
        std::vector<std::string> bytes;
        for (int b = 0; b < 256; ++b)
            bytes.emplace_back(1, static_cast<char>(b));
        // Every byte, each once (the invalid ones stop the caller, who steps over them) ...
        std::string all = Interleave(random, bytes);
        // ... and only those that stand for a character, many times.
        std::vector<std::string> valid;
        for (const std::string& b : bytes)
            if (lmvtest::IconvOnce(encoding, "UTF-32LE", b))
                valid.push_back(b);
        std::vector<std::string> many;
        for (int copies = 0; copies < 12; ++copies)
            many.insert(many.end(), valid.begin(), valid.end());
        std::string text = Interleave(random, many);
        const std::optional<std::string> unicode = lmvtest::IconvOnce(encoding, "UTF-32LE", text);
        ASSERT_TRUE(unicode.has_value());
        ExpectSameBothWays(encoding, all, WithStrangers(random, *unicode), random);
        Damage(random, text);
        ExpectSameBothWays(encoding, text, *unicode, random);
    }
}

// The pairs of a double-byte encoding that stand for a character, found by the C library's
// decoder pair by pair, each as its bytes.
std::vector<std::string> ValidPairs(const char* Encoding)
{
    const iconv_t cd = iconv_open("UTF-32LE", Encoding);
    std::vector<std::string> pairs;
    for (int lead = 0x80; lead < 0x100; ++lead)
        for (int trail = 0; trail < 0x100; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[16];
            char* inPtr = in;
            char* outPtr = out;
            std::size_t inLeft = 2;
            std::size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == 0 && outPtr - out == 4)
                pairs.emplace_back(in, 2);
        }
    iconv_close(cd);
    return pairs;
}

TEST_F(LegacyFastPath, EveryPairOfTheDoubleByteEncodingsBothWays)
{
    std::mt19937 random(2202);
    for (const char* encoding : DoubleByte) {
        SCOPED_TRACE(encoding);
        ASSERT_NE(lmviconv::LegacyTablesFor(encoding), nullptr);
        ASSERT_TRUE(lmviconv::LegacyTablesFor(encoding)->DoubleByte);
        std::vector<std::string> pieces = ValidPairs(encoding);
        ASSERT_GT(pieces.size(), 5000u);
        for (int b = 0x80; b < 0x100; ++b)
            if (lmvtest::IconvOnce(encoding, "UTF-32LE", std::string(1, static_cast<char>(b))))
                pieces.emplace_back(1, static_cast<char>(b));
        // Every pair once, in pieces small enough for the comparison's calls.
        for (std::size_t from = 0; from < pieces.size(); from += 6000) {
            const std::vector<std::string> part(pieces.begin() + static_cast<std::ptrdiff_t>(from),
                                                pieces.begin() + static_cast<std::ptrdiff_t>(std::min(pieces.size(), from + 6000)));
            std::string text = Interleave(random, part);
            const std::optional<std::string> unicode = lmvtest::IconvOnce(encoding, "UTF-32LE", text);
            ASSERT_TRUE(unicode.has_value());
            const std::string strangers = WithStrangers(random, *unicode);
            if (from == 0)
                Damage(random, text);
            ExpectSameBothWays(encoding, text, strangers, random);
        }
    }
}

// GB18030's characters beyond the BMP take four bytes by arithmetic: all of its ends and
// samples between, with pairs and ASCII, cut and damaged.
TEST_F(LegacyFastPath, FourByteCharactersOfGb18030BothWays)
{
    const lmviconv::TLegacyTables* tables = lmviconv::LegacyTablesFor("GB18030");
    ASSERT_NE(tables, nullptr);
    EXPECT_TRUE(tables->FourByte);
    EXPECT_FALSE(lmviconv::LegacyTablesFor("GBK")->FourByte);
    std::mt19937 random(2204);
    for (int round = 0; round < 4; ++round) {
        std::string unicode;
        for (int i = 0; i < 4000; ++i) {
            // U+20087 and U+20089 are pairs in the C library's GB18030, not four bytes.
            const auto r = [&random](std::uint32_t Range) { return static_cast<std::uint32_t>(random() % Range); };
            const std::uint32_t kinds[] = {0x10000 + r(0x100000), 0x10000 + r(300), 0x10FFFF - r(300), 0x4E00 + r(0x5000),
                                           'a' + r(26), 0x2022, 0xE5E5, 0x20087, 0x20089, 0x20080 + r(16)};
            AppendUtf32(unicode, kinds[random() % std::size(kinds)]);
        }
        std::optional<std::string> legacy = lmvtest::IconvOnce("UTF-32LE", "GB18030", unicode);
        ASSERT_TRUE(legacy.has_value());
        if (round % 2)
            Damage(random, *legacy);
        ExpectSameBothWays("GB18030", *legacy, unicode, random);
    }
}

TEST_F(LegacyFastPath, EncodingsThatKeepStateStayTheCLibrarys)
{
    std::mt19937 random(2203);
    for (const char* encoding : Kept) {
        SCOPED_TRACE(encoding);
        EXPECT_EQ(lmviconv::LegacyTablesFor(encoding), nullptr);
        std::string unicode;
        for (int i = 0; i < 3000; ++i)
            AppendUtf32(unicode, i % 5 == 0 ? 0xC0 + random() % 0x1C0 : i % 7 == 0 ? 0x300 + random() % 0x10 : 'a' + random() % 26);
        const std::optional<std::string> legacy = lmvtest::IconvOnce("UTF-32LE", encoding, unicode, 1);
        ASSERT_TRUE(legacy.has_value());
        ExpectSameBothWays(encoding, *legacy, unicode, random);
    }
}

// One call of a block kind's converter, or of the C library's iconv (Kind nullptr), over
// buffers of exactly the input's and the room's size: what it took, and the whole room.
std::string ConvertPlace(const char* Kind, const char* Encoding, bool FromLegacy, TUnicodeForm Form, const std::string& Input,
                         std::size_t Room, TTranscodeStop& Stop)
{
    const auto in = std::make_unique<unsigned char[]>(Input.size() + 1);
    const auto out = std::make_unique<unsigned char[]>(Room + 1);
    std::memcpy(in.get(), Input.data(), Input.size());
    std::memset(out.get(), 0, Room + 1);
    const unsigned char* inPtr = in.get();
    unsigned char* outPtr = out.get();
    Stop = TTranscodeStop::Done;
    const char* const formName = Form == TUnicodeForm::Utf8 ? "UTF-8" : Form == TUnicodeForm::Utf16Le ? "UTF-16LE" : "UTF-32BE";
    const char* const from = FromLegacy ? Encoding : formName;
    const char* const to = FromLegacy ? formName : Encoding;
    if (Kind != nullptr) {
        const lmviconv::TLegacyTables* tables = lmviconv::LegacyTablesFor(Encoding);
        Stop = lmviconv::FindLegacyTranscoder(FromLegacy, Form, Kind)(*tables, inPtr, inPtr + Input.size(), outPtr, outPtr + Room);
        // The rest of the call is the C library's, as the library hands it over.
        if (Stop == TTranscodeStop::Unusual)
            Stop = lmvtest::IconvCall(from, to, inPtr, Input.size() - static_cast<std::size_t>(inPtr - in.get()), outPtr,
                                      Room - static_cast<std::size_t>(outPtr - out.get()));
    } else {
        Stop = lmvtest::IconvCall(from, to, inPtr, Input.size(), outPtr, Room);
    }
    return std::to_string(inPtr - in.get()) + " taken, " + std::to_string(outPtr - out.get()) + " written: " +
           std::string(reinterpret_cast<const char*>(out.get()), Room);
}

// Every block kind, with the C library taking over where it stops on what it leaves to it,
// against the C library alone, for one input and each room.
void ExpectSamePlaces(const char* Encoding, bool FromLegacy, TUnicodeForm Form, const std::string& Input,
                      const std::string& What)
{
    for (const char* kind : lmvtest::BlockKinds())
        for (const std::size_t room : {std::size_t{0}, std::size_t{63}, std::size_t{64}, std::size_t{130}, std::size_t{200},
                                       Input.size() * 3 + 8}) {
            TTranscodeStop expectedStop;
            TTranscodeStop actualStop;
            const std::string expected = ConvertPlace(nullptr, Encoding, FromLegacy, Form, Input, room, expectedStop);
            const std::string actual = ConvertPlace(kind, Encoding, FromLegacy, Form, Input, room, actualStop);
            if (actualStop != expectedStop || actual != expected) {
                ADD_FAILURE() << kind << " " << Encoding << (FromLegacy ? " from" : " to") << " form " << static_cast<int>(Form)
                              << ", " << What << ", room " << room << ": stop " << static_cast<int>(actualStop) << " not "
                              << static_cast<int>(expectedStop) << "\n  got      " << testing::PrintToString(actual)
                              << "\n  expected " << testing::PrintToString(expected);
                return;
            }
        }
}

// A character of each kind (two bytes of UTF-8, three, one the encoding lacks, an invalid byte)
// at every place of three 64-byte blocks, the input ending everywhere around it.
TEST(LegacyBlocks, SingleByteCharactersAtEveryPlaceOfTheBlocks)
{
    // CP1251: Cyrillic takes two bytes in UTF-8, the euro sign three, and 0x98 stands for nothing.
    const std::string legacyKinds[] = {"\xC0", "\x88", "\x98", "\xE0\xFF"};
    const std::string utf8Kinds[] = {"\xD0\x96", "\xE2\x82\xAC", "\xC3\xA9", "\xD0", "\x96", "\xE4\xB8\xAD"};
    const TUnicodeForm forms[] = {TUnicodeForm::Utf8, TUnicodeForm::Utf16Le, TUnicodeForm::Utf32Be};
    std::string base;
    for (int i = 0; i < 200; ++i)
        base += static_cast<char>(i % 3 == 0 ? 0xC0 + i % 64 : 'a' + i % 26);
    std::string ascii(200, 'q');
    for (const std::string& around : {ascii, base})
        for (std::size_t at = 0; at < 200; at += at < 70 ? 1 : 7)
            for (const std::string& kind : legacyKinds) {
                const std::string input = around.substr(0, at) + kind + around.substr(at);
                for (const TUnicodeForm form : forms)
                    ExpectSamePlaces("CP1251", true, form, input, "at " + std::to_string(at));
                ExpectSamePlaces("CP1251", true, TUnicodeForm::Utf8, input.substr(0, at + 1), "cut at " + std::to_string(at));
            }
    const std::string cyrillic = *lmvtest::IconvOnce("CP1251", "UTF-8", base);
    for (const std::string& around : {ascii, cyrillic})
        for (std::size_t at = 0; at < 200; at += at < 70 ? 1 : 7)
            for (const std::string& kind : utf8Kinds) {
                const std::string input = around.substr(0, at) + kind + around.substr(at);
                ExpectSamePlaces("CP1251", false, TUnicodeForm::Utf8, input, "at " + std::to_string(at));
                ExpectSamePlaces("KOI8-R", false, TUnicodeForm::Utf8, input, "at " + std::to_string(at));
                ExpectSamePlaces("CP1251", false, TUnicodeForm::Utf8, input.substr(0, at + 1), "cut at " + std::to_string(at));
            }
}

TEST(LegacyBlocks, DoubleBytePairsAtEveryPlaceOfTheBlocks)
{
    const std::string gbkKinds[] = {"\xD6\xD0", "\x81\x30", "\xFF", "\x80", "\xD6", "\x90\x30\x81\x30", "\xE3\x32\x9A\x36", "\x95\x32\x82"};
    std::string ascii(150, 'q');
    for (std::size_t at = 0; at < 150; ++at)
        for (const std::string& kind : gbkKinds) {
            const std::string input = ascii.substr(0, at) + kind + ascii.substr(at);
            ExpectSamePlaces("GBK", true, TUnicodeForm::Utf8, input, "at " + std::to_string(at));
            ExpectSamePlaces("SHIFT_JIS", true, TUnicodeForm::Utf16Le, input, "at " + std::to_string(at));
            ExpectSamePlaces("GB18030", true, TUnicodeForm::Utf32Be, input, "at " + std::to_string(at));
            const std::optional<std::string> utf8 = lmvtest::IconvOnce("GBK", "UTF-8", input, 1);
            ExpectSamePlaces("GBK", false, TUnicodeForm::Utf8, *utf8 + "\xE2\x82\xAC\xF0\x9F\x98\x80", "at " + std::to_string(at));
        }
}


// Text of a double-byte encoding as the blocks meet it (long runs of pairs; Hangul and spaces
// in turn; pairs between single high bytes), with a character of each kind, valid or not, put
// at every place of three 64-byte blocks, both ways, the input also cut just after it.
TEST(LegacyBlocks, DoubleByteTextWithEveryKindAtEveryPlace)
{
    struct TText {
        const char* Encoding;
        std::string Utf8;
    };
    std::string chinese, korean, japanese;
    while (chinese.size() < 450)
        chinese += "\xE8\xBF\x99\xE6\x98\xAF\xE4\xB8\xAD\xE6\x96\x87\xE6\x89\x8B\xE5\x86\x8C\xE9\xA1\xB5\x28\x38\x29\xE3\x80\x82";
    while (korean.size() < 450)
        korean += "\xEB\x8F\x84 \xEC\x9B\x80\xEB\xA7\x90 \xEB\xAA\xA9\xEB\xA1\x9D \xEA\xB0\x80 ";
    while (japanese.size() < 450)
        japanese += "\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB6\xEF\xBE\x85\xE8\xAA\x9E\xEF\xBD\xA1" "a";
    const TText texts[] = {{"GBK", chinese}, {"CP949", korean}, {"CP932", japanese}, {"GB18030", chinese}};
    // Valid and invalid pairs, single bytes that are not leads, a cut pair, four bytes.
    const std::string legacyKinds[] = {"\xB0\xA1", "\x81\x30", "\xFF", "\x80", "\xB0", "a", "\xA1\x41", "\x90\x30\x81\x30"};
    // Three bytes, two, four, longer forms, a surrogate, a stray continuation, a cut sequence,
    // U+FFFF (the reverse table's last entry), and characters the targets may lack.
    const std::string utf8Kinds[] = {"\xE4\xB8\xAD", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xE0\x80\xAF", "\xC0\xAF", "\xED\xA0\x80",
                                     "\x80",         "\xE4\xB8", "\xEF\xBF\xBF",     "\xE2\x82\xAC", "\xD0\x96"};
    for (const TText& text : texts) {
        const std::string legacy = lmvtest::IconvOnce("UTF-8", text.Encoding, text.Utf8, 1)->substr(0, 200);
        const std::string utf8 = text.Utf8.substr(0, 200);
        for (std::size_t at = 0; at < 200; ++at) {
            const std::string where = "at " + std::to_string(at);
            for (const std::string& kind : legacyKinds) {
                const std::string input = legacy.substr(0, at) + kind + legacy.substr(at);
                ExpectSamePlaces(text.Encoding, true, TUnicodeForm::Utf8, input, where);
                ExpectSamePlaces(text.Encoding, true, TUnicodeForm::Utf8, input.substr(0, at + kind.size()), "cut " + where);
            }
            for (const std::string& kind : utf8Kinds) {
                const std::string input = utf8.substr(0, at) + kind + utf8.substr(at);
                ExpectSamePlaces(text.Encoding, false, TUnicodeForm::Utf8, input, where);
                ExpectSamePlaces(text.Encoding, false, TUnicodeForm::Utf8, input.substr(0, at + kind.size()), "cut " + where);
            }
        }
    }
}

} // namespace
