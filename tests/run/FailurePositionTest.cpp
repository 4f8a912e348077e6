// Where a file fails on its content: the line that follows the conversion error, the same at
// every buffer size, in a conversion and in a check.

#include "tests/common/TestSupport.h"
#include "tests/run/ConverterFixture.h"
#include "tests/common/TreeSnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

using lmvtest::Bytes;
using lmvtest::TempDir;
using lmvtest::WriteFile;

struct TPositionCase {
    const char* Name;
    const char* From;
    const char* To;
    std::int32_t Translation;
    std::string Text;
    std::size_t Longest; // bytes of the longest character, in or out
    std::string Where;
};

void PrintTo(const TPositionCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

// Invalid and cut-off sequences of many encodings at every chunk boundary are also covered by the
// fault tests (BadInput); these add lines, columns, signatures, the target side and state.
std::vector<TPositionCase> PositionCases()
{
    const std::string Jis = "\x1B$B", Ascii = "\x1B(B";
    return {
        // A signature the pipeline drops still counts in the offset, not in the column.
        {"Utf8InvalidAfterEveryLineEnd", "UTF-8", "UTF-16LE", 0,
         "\xEF\xBB\xBF" "line one\r\nzwei \xC3\xA9\xE2\x82\xAC\rthree \xF0\x9F\x98\x80 \xE2\x82x end\n", 4,
         "Invalid byte sequence at line 3, column 9 (offset 35)"},
        {"Utf8Unwritable", "UTF-8", "ISO-8859-1", 0, "caf\xC3\xA9\nna\xC3\xAFve \xE2\x82\xAC 5\n", 3,
         "Character U+20AC cannot be written in ISO-8859-1, at line 2, column 7 (offset 13)"},
        {"Utf8BeyondTheBasicPlane", "UTF-8", "UCS-2", 0, "a\xF0\x9F\x98\x80", 4,
         "Character U+1F600 cannot be written in UCS-2, at line 1, column 2 (offset 1)"},
        {"ShiftJisBadTrailByte", "SHIFT_JIS", "UTF-8", 0, "\x82\xA0\x82\xA2\n\x83\x4A\x81\x20zz", 3,
         "Invalid byte sequence at line 2, column 2 (offset 7)"},
        {"EucJpUnwritable", "EUC-JP", "CP1252", 0, "ab\xA4\xA2", 2,
         "Character U+3042 cannot be written in CP1252, at line 1, column 3 (offset 2)"},
        {"Utf16SignatureLoneSurrogate", "UTF-16", "UTF-8", 0, Bytes({0xFF, 0xFE, 'a', 0, '\n', 0, 0x00, 0xDC, 'b', 0}), 4,
         "Invalid byte sequence at line 2, column 1 (offset 6)"},
        {"Utf16SignatureOddLength", "UTF-16", "UTF-8", 0, Bytes({0xFF, 0xFE, 'a', 0, 'b'}), 4,
         "Incomplete character at the end of the file (offset 4)"},
        {"Utf16BigEndianUnwritable", "UTF-16", "ISO-8859-1", 0,
         Bytes({0xFE, 0xFF, 0, 'x', 0, '\r', 0, '\n', 0x4E, 0x2D}), 2,
         "Character U+4E2D cannot be written in ISO-8859-1, at line 2, column 1 (offset 8)"},
        // The offset is the character's, after the escape sequence that switched to it.
        {"Iso2022JpUnwritable", "ISO-2022-JP", "ISO-8859-1", 0, "a\n" + Jis + "\x30\x21" + Ascii + "b", 3,
         "Character U+4E9C cannot be written in ISO-8859-1, at line 2, column 1 (offset 5)"},
        {"Iso2022JpInvalid", "ISO-2022-JP", "UTF-8", 0, "a\n" + Jis + "\x24\x22\x24\x7Fzz", 3,
         "Invalid byte sequence at line 2, column 2 (offset 7)"},
        // Ignore drops what is invalid; a character cut off at the end still fails the file.
        {"IgnoreStillFailsAnIncompleteEnd", "UTF-8", "ASCII", 1, "a\xFF" "b\xE2\x82", 3,
         "Incomplete character at the end of the file (offset 3)"},
    };
}

class FailurePosition : public lmvtest::TConverterFixture<testing::TestWithParam<TPositionCase>> {
protected:
    // Check: CheckFile on the source as it stands; else ConvertFile of a new source into an
    // empty temporary file.
    lmvtest::TConversion Run(const TPositionCase& Case, std::int32_t BufferSize, bool Check)
    {
        if (Check)
            return TConverterFixture::Check(Case.From, Case.To, BufferSize, Case.Translation);
        return TConverterFixture::Run(Case.Text, Case.From, Case.To, BufferSize, {}, Case.Translation);
    }
};

// Input buffers from the longest character up to the whole text put a chunk boundary at every
// byte of the bad sequence (and of what comes before it); the default size takes it all at once.
TEST_P(FailurePosition, SameLineAtEveryBufferSizeInConversionAndCheck)
{
    const TPositionCase& Case = GetParam();
    std::vector<std::int32_t> Sizes;
    for (std::size_t In = Case.Longest; In <= Case.Text.size() + 1; ++In)
        Sizes.push_back(static_cast<std::int32_t>(2 * std::max(In, Case.Longest)));
    Sizes.push_back(65536);
    for (const std::int32_t Size : Sizes) {
        for (const bool Check : {false, true}) {
            SCOPED_TRACE("buffer size " + std::to_string(Size) + (Check ? ", check" : ", conversion"));
            const lmvtest::TConversion Failure = Run(Case, Size, Check);
            EXPECT_TRUE(Failure.Failed);
            EXPECT_EQ(Failure.Error, "Cannot convert character encoding");
            EXPECT_EQ(Failure.Where, Case.Where);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FailurePosition, testing::ValuesIn(PositionCases()),
                         [](const testing::TestParamInfo<TPositionCase>& Info) { return Info.param.Name; });

class FailurePositionLimits : public FailurePosition {};

// A buffer too small for one character fails the file, but its content is not to blame: no line.
TEST_F(FailurePositionLimits, BufferTooSmallForACharacterBlamesNoByte)
{
    const TPositionCase Case{"", "UTF-8", "UTF-16LE", 0, "ab\xE2\x82\xAC", 3, ""};
    const lmvtest::TConversion Failure = Run(Case, 4, false);
    EXPECT_TRUE(Failure.Failed);
    EXPECT_EQ(Failure.Error, "Cannot convert character encoding");
    EXPECT_EQ(Failure.Where, "");
}

// A long way before the fault, counted in pieces, with a CR LF split between two of them.
TEST_F(FailurePositionLimits, LinesAreCountedAcrossAFileLongerThanOnePiece)
{
    std::string Text = "xxxxx";
    for (int i = 0; i < 5000; ++i)
        Text += "line \xC3\xA9\r\n";
    ASSERT_EQ(Text.substr(16383, 2), "\r\n");
    Text += "ab\xFF";
    for (const std::int32_t Size : {8, 1000, 65536, 1 << 20}) {
        SCOPED_TRACE(Size);
        const TPositionCase Case{"", "UTF-8", "UTF-16LE", 0, Text, 2, ""};
        EXPECT_EQ(Run(Case, Size, false).Where, "Invalid byte sequence at line 5001, column 3 (offset 45007)");
    }
}

// A check reads the file through the same conversion: it passes and fails with it, and nothing
// is created or written anywhere in the folder, not even the temporary file that exists here.
TEST_F(FailurePositionLimits, CheckPassesAndFailsWithTheConversionAndWritesNothing)
{
    const std::vector<TPositionCase> Cases = {
        {"", "UTF-8", "UTF-16", 0, "fine \xC3\xA9\n", 2, ""},
        {"", "UTF-8", "ISO-8859-1", 0, "fine \xC3\xA9\n", 2, ""},
        {"", "UTF-8", "ISO-8859-1", 2, "translit \xE2\x80\x9Cquotes\xE2\x80\x9D", 3, ""},
        {"", "UTF-8", "ASCII", 0, "\xC3\xA9", 2, ""},
        {"", "ISO-2022-JP", "UTF-8", 0, "\x1B$B\x24\x22", 2, ""},
    };
    for (const TPositionCase& Case : Cases) {
        SCOPED_TRACE(Case.Text);
        const lmvtest::TConversion Converted = Run(Case, 64, false);
        const auto Before = lmvtest::TreeSnapshot(Dir.Path());
        const lmvtest::TConversion Checked = Run(Case, 64, true);
        EXPECT_EQ(lmvtest::TreeSnapshot(Dir.Path()), Before);
        EXPECT_EQ(Checked.Failed, Converted.Failed);
        EXPECT_EQ(Checked.Where, Converted.Where);
    }
}

} // namespace
