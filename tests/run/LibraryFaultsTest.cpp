// The C library's iconv faults that the conversion library works around, seen through the file
// pipeline with the real engine: the JIS X 0213 decoders that stall, values above U+10FFFF, and
// transliteration that followed the caller's locale.
#include "tests/common/IconvOnce.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"
#include "tests/run/ConverterFixture.h"
#include "util/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

#include <langinfo.h>
#include <locale.h>

namespace {

using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

const std::string ConvertError = "Cannot convert character encoding";

using TResult = lmvtest::TConversion;

class LibraryFaults : public lmvtest::TConverterFixture<> {
protected:
    // Text encoded by Python's codec Codec: the reference for the JIS X 0213 encodings.
    std::string Python(const std::string& Utf8, const std::string& Codec)
    {
        WriteFile(Dir / "python-in", Utf8);
        const lmvtest::TProcessOutcome outcome = lmvtest::RunProcess(
            {"/usr/bin/python3", "-c",
             "import sys; open(sys.argv[3], 'wb').write(open(sys.argv[1], encoding='utf-8').read().encode(sys.argv[2]))",
             Dir / "python-in", Codec, Dir / "python-out"},
            lmvtest::Environment({}, {}));
        EXPECT_EQ(outcome.Status, 0) << "python3 (scripts/deps.sh test installs it): " << outcome.Err;
        return outcome.Status == 0 ? ReadFile(Dir / "python-out") : std::string();
    }

    // Every size from 16 to where one chunk holds the whole text, and the large ones.
    static std::vector<std::int32_t> EverySize(std::size_t Longest)
    {
        std::vector<std::int32_t> sizes;
        for (std::int32_t size = 16; size <= static_cast<std::int32_t>(2 * Longest + 16); ++size)
            sizes.push_back(size);
        sizes.insert(sizes.end(), {4096, 65535, 65536});
        return sizes;
    }
};

// Pairs that one JIS X 0213 character stands for (か゚ æ̀ ˩˥ ˥˩ ɔ́ ㇷ゚), single characters that
// start such pairs, plane 2 (three bytes in EUC), half-width katakana and a character beyond
// U+FFFF, with one-byte characters between them so that every pair lands on every offset.
std::string JisText()
{
    const std::vector<std::string> pieces = {
        "\xE3\x81\x8B\xE3\x82\x9A", "\xC3\xA6\xCC\x80", "\xCB\xA9\xCB\xA5", "\xCB\xA5\xCB\xA9",
        "\xC9\x94\xCC\x81", "\xE3\x87\xB7\xE3\x82\x9A", "\xE3\x81\x8B", "\xC3\xA6", "\xCB\xA9",
        "\xE4\xBF\xB1", "\xEF\xBD\xB1", "\xF0\xA0\xAE\x9F", "\xE6\xBC\xA2"};
    std::string text;
    for (int i = 0; i < 160; ++i) {
        text += pieces[(i * 7) % pieces.size()];
        if (i % 3 == 0)
            text += static_cast<char>('a' + i % 26);
    }
    return text + "\n";
}

TEST_F(LibraryFaults, JisX0213BothDirectionsGivePythonsResultAtEveryBufferSize)
{
    const std::string text = JisText();
    struct TCodec {
        const char* Name;
        const char* Python;
    };
    for (const TCodec codec : {TCodec{"SHIFT_JISX0213", "shift_jis_2004"}, TCodec{"EUC-JISX0213", "euc_jis_2004"}}) {
        const std::string encoded = Python(text, codec.Python);
        ASSERT_FALSE(encoded.empty()) << codec.Python;
        const std::string utf16 = *lmvtest::IconvOnce("UTF-8", "UTF-16LE", text);
        struct TDirection {
            std::string From, To, In, Out;
        };
        const std::vector<TDirection> directions = {{codec.Name, "UTF-8", encoded, text},
                                                    {codec.Name, "UTF-16LE", encoded, utf16},
                                                    {"UTF-8", codec.Name, text, encoded},
                                                    {"UTF-16LE", codec.Name, utf16, encoded}};
        for (const TDirection& d : directions) {
            int wrong = 0;
            for (const std::int32_t size : EverySize(std::max(d.In.size(), d.Out.size()))) {
                const TResult result = Run(d.In, d.From, d.To, size);
                if ((result.Error.empty() && result.Output == d.Out) || ++wrong > 3)
                    continue;
                ADD_FAILURE() << d.From << " -> " << d.To << ", buffer size " << size << ": "
                              << (result.Error.empty() ? "output differs" : result.Error);
            }
        }
    }
}

TEST_F(LibraryFaults, Iso2022Jp3RoundTripsAtEveryBufferSize)
{
    const std::string text = JisText();
    for (const std::int32_t size : EverySize(text.size() * 2)) {
        const TResult there = Run(text, "UTF-8", "ISO-2022-JP-3", size);
        ASSERT_EQ(there.Error, "") << "buffer size " << size;
        const TResult back = Run(there.Output, "ISO-2022-JP-3", "UTF-8", size);
        ASSERT_EQ(back.Error, "") << "buffer size " << size;
        ASSERT_EQ(back.Output, text) << "buffer size " << size;
    }
}

// Below 16 a buffer whose output half cannot take a converted character fails at once, as for
// any other encoding; the others are exact.
TEST_F(LibraryFaults, JisX0213SmallBuffersAreExactOrFailWhenACharacterCannotFit)
{
    const std::string text = JisText();
    const std::string sjis = *lmvtest::IconvOnce("UTF-8", "SHIFT_JISX0213", text);
    for (std::int32_t size = 2; size < 16; ++size) {
        const TResult result = Run(sjis, "SHIFT_JISX0213", "UTF-8", size);
        // A character beyond U+FFFF takes four bytes of UTF-8.
        if (size - size / 2 < 4)
            EXPECT_EQ(result.Error, ConvertError) << "buffer size " << size;
        else if (result.Error.empty())
            EXPECT_EQ(result.Output, text) << "buffer size " << size;
        else
            EXPECT_EQ(result.Error, ConvertError) << "buffer size " << size;
    }
    EXPECT_EQ(Run(sjis, "SHIFT_JISX0213", "UTF-8", 8).Output, text) << "an output half of 4 takes every character";
}

// Values above U+10FFFF are invalid input in every mode and at every buffer size: the file fails
// with None and Transliterate, and Ignore drops them. (Transliterating them once wrote a second
// signature into the middle of a UTF-16 result, at some buffer sizes only.)
TEST_F(LibraryFaults, ValuesAboveU10FFFFAreInvalidInEverySourceForm)
{
    struct TForm {
        const char* From;
        std::vector<std::string> Beyond;
    };
    const std::vector<TForm> forms = {
        {"UTF-8",
         {"\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF", "\xFB\x90\x90\x90\x90", "\xFD\xBF\xBF\xBF\xBF\xBF"}},
        {"UCS-4", {std::string("\x00\x11\x00\x00", 4), std::string("\x7F\xFF\xFF\xFF", 4)}},
        {"UCS-4LE", {std::string("\x00\x00\x11\x00", 4), std::string("\xFF\xFF\xFF\x7F", 4)}},
        {"WCHAR_T", {std::string("\x00\x00\x11\x00", 4), std::string("\xFF\xFF\xFF\xFF", 4)}},
    };
    const std::string ascii = "ab\xC3\xA9" "cd";
    for (const TForm& form : forms) {
        const std::string plain = *lmvtest::IconvOnce("UTF-8", form.From, ascii);
        std::string text;
        std::string kept;
        for (int i = 0; i < 40; ++i) {
            text += plain;
            kept += plain;
            text += form.Beyond[i % form.Beyond.size()];
        }
        for (const char* to : {"UTF-16", "UTF-8"}) {
            const std::string expected = *lmvtest::IconvOnce(form.From, to, kept);
            for (const std::int32_t size : {17, 18, 64, 100, 65536}) {
                SCOPED_TRACE(std::string(form.From) + " -> " + to + ", buffer size " + std::to_string(size));
                EXPECT_EQ(Run(text, form.From, to, size, {}, 0).Error, ConvertError);
                EXPECT_EQ(Run(text, form.From, to, size, {}, 2).Error, ConvertError);
                const TResult ignored = Run(text, form.From, to, size, {}, 1);
                EXPECT_EQ(ignored.Error, "");
                EXPECT_EQ(ignored.Output, expected);
            }
        }
    }
}

// A sequence cut off by the end of the file is incomplete, whatever it would have become: the
// file fails, with Ignore too, as for any other cut-off sequence. Cut off by the end of a buffer
// it is taken whole from the next one.
TEST_F(LibraryFaults, ASequenceAboveU10FFFFCutOffByTheEndIsIncomplete)
{
    for (const std::string cut : {"\xE3\x82", "\xFC\xA5", "\xF4\x90"}) {
        const std::string text = "ab\xA5" "cd" + cut;
        for (const std::int32_t size : {16, 65536})
            EXPECT_EQ(Run(text, "UTF-8", "UTF-16LE", size, {}, 1).Error, ConvertError) << size;
    }
    const std::string text = std::string(5, 'a') + "\xFC\x80\x80\x80\x80\x80" + std::string(100, 'b');
    const std::string expected = *lmvtest::IconvOnce("UTF-8", "UTF-16LE", std::string(5, 'a') + std::string(100, 'b'));
    for (std::int32_t size = 16; size < 40; ++size)
        EXPECT_EQ(Run(text, "UTF-8", "UTF-16LE", size, {}, 1).Output, expected) << size;
}

// "café €" to ASCII with Transliterate gives "cafe EUR" whatever the caller's locale, and the
// caller's locale (what System Information reports) stays as it was.
TEST_F(LibraryFaults, TransliterationDoesNotFollowTheCallersLocale)
{
    const std::string text = "caf\xC3\xA9 \xE2\x82\xAC";
    for (const char* name : {"C", "C.UTF-8"}) {
        lmvtest::LocaleScope locale(name);
        ASSERT_TRUE(locale.Active) << name;
        const unsigned codePage = CodePageOfLocale();
        for (const std::int32_t size : {64, 65536}) {
            const TResult result = Run(text, "UTF-8", "ASCII", size, {}, 2);
            EXPECT_EQ(result.Error, "") << name;
            EXPECT_EQ(result.Output, "cafe EUR") << name << ", buffer size " << size;
        }
        EXPECT_EQ(CodePageOfLocale(), codePage) << name;
        EXPECT_EQ(uselocale(static_cast<locale_t>(nullptr)), LC_GLOBAL_LOCALE) << name;
    }
}

} // namespace
