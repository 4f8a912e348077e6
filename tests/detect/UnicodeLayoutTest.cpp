// What the bytes alone say: strict UTF-8 as the C library decodes it, wherever a sequence falls
// among runs of ASCII (which are read several bytes at a time), and control bytes that make a
// sample data wherever they fall.
#include "detect/UnicodeLayout.h"
#include "tests/common/IconvOnce.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using UnicodeLayout::CheckUtf8;
using UnicodeLayout::HasBinaryControls;
using UnicodeLayout::TUtf8;

TEST(UnicodeLayout, Utf8IsCheckedAtEveryPositionAmongAscii)
{
    const std::string ascii(40, 'a');
    for (std::size_t at = 0; at <= ascii.size(); ++at) {
        SCOPED_TRACE(at);
        const std::string before = ascii.substr(0, at);
        const std::string after = ascii.substr(at);
        EXPECT_EQ(CheckUtf8(before + after, true), TUtf8::Ascii);
        EXPECT_EQ(CheckUtf8(before + "\xC3\xA9" + after, true), TUtf8::Utf8);
        EXPECT_EQ(CheckUtf8(before + "\xF0\x9F\x98\x80" + after, true), TUtf8::Utf8);
        EXPECT_EQ(CheckUtf8(before + "\xFF" + after, true), TUtf8::Invalid);
        EXPECT_EQ(CheckUtf8(before + "\xC0\xAF" + after, true), TUtf8::Invalid);     // overlong
        EXPECT_EQ(CheckUtf8(before + "\xED\xA0\x80" + after, true), TUtf8::Invalid); // surrogate
        EXPECT_EQ(CheckUtf8(before + "\xC3" + after, true), TUtf8::Invalid);         // no continuation
        // Cut by the end of the sample: wrong in a whole file, expected in a prefix.
        EXPECT_EQ(CheckUtf8(before + "\xE2\x82", true), TUtf8::Invalid);
        EXPECT_EQ(CheckUtf8(before + "\xE2\x82", false), TUtf8::Utf8);
    }
}

TEST(UnicodeLayout, Utf8IsWhatTheCLibraryDecodes)
{
    // Every lead and second byte, with continuations and others after them, between ASCII.
    for (unsigned lead = 0x80; lead < 0x100; ++lead)
        for (unsigned second = 0; second < 0x100; ++second)
            for (const char* rest : {"", "\x80", "\xBF\x80", "\x8F\xBF", "\x7F"}) {
                const std::string sequence = std::string(1, static_cast<char>(lead)) + static_cast<char>(second) + rest;
                const std::string sample = "ab" + sequence + "cd";
                const bool decodes = lmvtest::IconvOnce("UTF-8", "UTF-32LE", sample).has_value();
                EXPECT_EQ(CheckUtf8(sample, true) != TUtf8::Invalid, decodes)
                    << std::hex << lead << ' ' << second << ' ' << rest;
            }
}

TEST(UnicodeLayout, BinaryControlsAreFoundWhereverTheyFall)
{
    // Longer than the blocks the check reads at a time; tab, line breaks, form feed, the shifts and
    // escape of ISO-2022 and the DOS end of file are text.
    std::string text;
    while (text.size() < 1000)
        text += "A line of text\twith a tab\r\n";
    text += "\x0E\x0F\x1A\x1B\f\v";
    EXPECT_FALSE(HasBinaryControls(text));
    for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{257},
                                 std::size_t{511}, std::size_t{512}, text.size() - 1, text.size()})
        for (const char control : {'\x00', '\x01', '\x08', '\x1F'}) {
            std::string data = text;
            data.insert(at, 1, control);
            EXPECT_TRUE(HasBinaryControls(data)) << "at " << at << ", byte " << int{control};
        }
}

} // namespace
