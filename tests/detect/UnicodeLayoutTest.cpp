// What the bytes alone say: strict UTF-8 as the C library decodes it, wherever a sequence falls
// among runs of ASCII (which are read several bytes at a time), and control bytes that make a
// sample data wherever they fall.
#include "detect/UnicodeLayout.h"
#include "tests/common/IconvOnce.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using UnicodeLayout::CheckText;
using UnicodeLayout::TTextBytes;
using UnicodeLayout::TUtf8;

TEST(UnicodeLayout, Utf8IsCheckedAtEveryPositionAmongAscii)
{
    // Past the blocks of 32 bytes that the check reads at a time where it can.
    const std::string ascii(100, 'a');
    for (std::size_t at = 0; at <= ascii.size(); ++at) {
        SCOPED_TRACE(at);
        const std::string before = ascii.substr(0, at);
        const std::string after = ascii.substr(at);
        EXPECT_EQ(CheckText(before + after, true).Utf8, TUtf8::Ascii);
        EXPECT_EQ(CheckText(before + "\xC3\xA9" + after, true).Utf8, TUtf8::Utf8);
        EXPECT_EQ(CheckText(before + "\xF0\x9F\x98\x80" + after, true).Utf8, TUtf8::Utf8);
        EXPECT_EQ(CheckText(before + "\xFF" + after, true).Utf8, TUtf8::Invalid);
        EXPECT_EQ(CheckText(before + "\xC0\xAF" + after, true).Utf8, TUtf8::Invalid);     // overlong
        EXPECT_EQ(CheckText(before + "\xED\xA0\x80" + after, true).Utf8, TUtf8::Invalid); // surrogate
        EXPECT_EQ(CheckText(before + "\xC3" + after, true).Utf8, TUtf8::Invalid);         // no continuation
        // Cut by the end of the sample: wrong in a whole file, expected in a prefix.
        EXPECT_EQ(CheckText(before + "\xE2\x82", true).Utf8, TUtf8::Invalid);
        EXPECT_EQ(CheckText(before + "\xE2\x82", false).Utf8, TUtf8::Utf8);
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
                EXPECT_EQ(CheckText(sample, true).Utf8 != TUtf8::Invalid, decodes)
                    << std::hex << lead << ' ' << second << ' ' << rest;
                // The same across the border of two blocks of 32 bytes.
                for (const std::size_t before : {std::size_t{61}, std::size_t{62}, std::size_t{63}})
                    EXPECT_EQ(CheckText(std::string(before, 'a') + sequence + "cd", true).Utf8 != TUtf8::Invalid, decodes)
                        << std::hex << lead << ' ' << second << ' ' << rest << std::dec << " after " << before;
            }
}

TEST(UnicodeLayout, Utf8OfManyScriptsIsCheckedWhereverItBreaksOrIsCut)
{
    // Characters of one to four bytes, so that the blocks end inside every kind of character.
    std::string text;
    while (text.size() < 300)
        text += "a\xC3\xA9\xD0\x96 \xE6\x97\xA5\xF0\x9F\x98\x80\xEF\xBF\xBD\xF4\x8F\xBF\xBF";
    EXPECT_EQ(CheckText(text, true).Utf8, TUtf8::Utf8);
    for (std::size_t at = 0; at < text.size(); ++at) {
        SCOPED_TRACE(at);
        const auto original = static_cast<unsigned char>(text[at]);
        const bool boundary = (original & 0xC0) != 0x80;
        // A prefix cut inside a character is whole only when the sample is not.
        const TUtf8 prefix = at <= 1 ? TUtf8::Ascii : TUtf8::Utf8;
        EXPECT_EQ(CheckText(text.substr(0, at), true).Utf8, boundary ? prefix : TUtf8::Invalid);
        EXPECT_EQ(CheckText(text.substr(0, at), false).Utf8, prefix);
        // Bytes that are never UTF-8; an ASCII letter in place of a lead or a continuation; a
        // continuation in place of a lead or of ASCII.
        for (const char bad : {'\xC0', '\xF5', '\xFF', 'a', '\x80'}) {
            if (bad == '\x80' && !boundary)
                continue;
            std::string broken = text;
            broken[at] = bad;
            const TUtf8 expected = bad == 'a' && original < 0x80 ? TUtf8::Utf8 : TUtf8::Invalid;
            EXPECT_EQ(CheckText(broken, true).Utf8, expected) << "byte " << int{static_cast<unsigned char>(bad)};
        }
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
    EXPECT_FALSE(CheckText(text, false).Binary);
    for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{257},
                                 std::size_t{511}, std::size_t{512}, text.size() - 1, text.size()})
        for (const char control : {'\x00', '\x01', '\x08', '\x10', '\x19', '\x1C', '\x1F'}) {
            std::string data = text;
            data.insert(at, 1, control);
            EXPECT_TRUE(CheckText(data, false).Binary) << "at " << at << ", byte " << int{control};
        }
}

// The one pass of detection, at every length around the blocks it reads (32 bytes, two at a time,
// the last 32 bytes again) and below them: UTF-8 cut anywhere, and a control in the last bytes,
// after text that is UTF-8 and after text that is not (read on for the controls alone).
TEST(UnicodeLayout, OnePassFindsControlsAndChecksUtf8AtEveryLength)
{
    std::string text;
    while (text.size() < 340)
        text += "a\xC3\xA9\xD0\x96 \xE6\x97\xA5\xF0\x9F\x98\x80 ascii words\r\n";
    for (std::size_t size = 0; size <= 330; ++size) {
        SCOPED_TRACE(size);
        const std::string sample = text.substr(0, size);
        const bool boundary = (static_cast<unsigned char>(text[size]) & 0xC0) != 0x80;
        const TUtf8 whole = size <= 1 ? TUtf8::Ascii : TUtf8::Utf8;
        EXPECT_FALSE(CheckText(sample, true).Binary);
        EXPECT_EQ(CheckText(sample, true).Utf8, boundary ? whole : TUtf8::Invalid);
        EXPECT_EQ(CheckText(sample, false).Utf8, whole);
        if (size == 0)
            continue;
        for (const char control : {'\x00', '\x07', '\x1F'}) {
            std::string data = sample;
            data.back() = control;
            EXPECT_TRUE(CheckText(data, false).Binary) << int{control};
            if (size >= 2) {
                data.front() = '\xFF';
                EXPECT_TRUE(CheckText(data, false).Binary) << int{control};
            }
        }
        std::string eightBit = sample;
        eightBit.front() = '\xFF';
        const TTextBytes legacy = CheckText(eightBit, false);
        EXPECT_TRUE(!legacy.Binary && legacy.Utf8 == TUtf8::Invalid);
    }
}

TEST(UnicodeLayout, SequencesAcrossTheBlockBordersAreCheckedAsTheCLibraryDecodes)
{
    // Whole, cut short, overlong, a surrogate, past U+10FFFF, stray and extra continuations.
    const char* const sequences[] = {"\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xC3",
                                     "\xE6\x97", "\xF0\x9F\x98", "\xE0\x80\x80", "\xC1\xBF", "\xF0\x8F\xBF\xBF",
                                     "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\x80", "\xC3\xA9\xA9"};
    // ASCII before (a block that may be skipped) or Cyrillic; ASCII or nothing after, up to two
    // blocks of it that may be skipped.
    for (const std::string& filler : {std::string("a"), std::string("\xD0\x96")})
        for (const std::size_t border : {32, 64, 96, 256, 288})
            for (std::size_t before = border - 4; before <= border; ++before)
                for (const char* sequence : sequences)
                    for (const std::size_t after : {0, 1, 30, 45, 70, 100}) {
                        std::string sample;
                        while (sample.size() + filler.size() <= before)
                            sample += filler;
                        sample.append(before - sample.size(), 'a');
                        sample += sequence;
                        sample.append(after, 'a');
                        const bool decodes = lmvtest::IconvOnce("UTF-8", "UTF-32LE", sample).has_value();
                        EXPECT_EQ(CheckText(sample, true).Utf8 != TUtf8::Invalid, decodes)
                            << filler << ' ' << before << ' ' << sequence << ' ' << after;
                    }
}

} // namespace
