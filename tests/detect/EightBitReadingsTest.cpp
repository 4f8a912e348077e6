// The 8-bit readings keep their counts between samples only to save allocations: a sample must
// read the same whatever was read before it, and its costs must add up exactly over the longest
// sample (nothing wraps in the counts or the sums). The bytes are counted in pairs and then
// folded as the language tables fold them: ASCII case, punctuation and digits must weigh alike.
#include "detect/EightBitReadings.h"
#include "tests/detect/DetectorTestBase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

class EightBitReadingsTest : public DetectorTestBase {
protected:
    static void ExpectSame(const std::vector<TEightBitReadings::TReading>& Actual,
                           const std::vector<TEightBitReadings::TReading>& Expected, double Times = 1)
    {
        ASSERT_EQ(Actual.size(), Expected.size());
        for (std::size_t i = 0; i < Actual.size(); ++i) {
            SCOPED_TRACE(Expected[i].Encoding);
            EXPECT_EQ(Actual[i].Encoding, Expected[i].Encoding);
            EXPECT_EQ(Actual[i].Language, Expected[i].Language);
            EXPECT_DOUBLE_EQ(Actual[i].Cost, Expected[i].Cost * Times);
            EXPECT_DOUBLE_EQ(Actual[i].HighCost, Expected[i].HighCost * Times);
            EXPECT_EQ(Actual[i].OnlyForeignLetters, Expected[i].OnlyForeignLetters);
        }
    }

    static const TEightBitReadings::TReading& Named(const std::vector<TEightBitReadings::TReading>& Readings,
                                                    const std::string& Encoding)
    {
        const auto found = std::find_if(Readings.begin(), Readings.end(),
                                        [&](const TEightBitReadings::TReading& r) { return r.Encoding == Encoding; });
        EXPECT_NE(found, Readings.end()) << Encoding;
        return found != Readings.end() ? *found : Readings.front();
    }
};

TEST_F(EightBitReadingsTest, ASampleReadsTheSameAfterOthers)
{
    const std::vector<std::string> samples = {
        Encode("Съешь же ещё этих мягких французских булок, да выпей чаю. ", "WINDOWS-1251"),
        Encode("Le cœur déçu mais l'âme plutôt naïve, Louÿs rêva de crapaüter en canoë. ", "ISO-8859-15"),
        Encode("Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. ", "ISO-8859-7"),
        Encode("80×120 cm, 12½ kg", "CP850"),
        Encode("Un café.", "WINDOWS-1252"),
        // Capitals past ASCII after small letters, ASCII and not, weigh against a reading.
        Encode("cafÉ in MÜnchen, ", "WINDOWS-1252") + Encode("прИвет", "WINDOWS-1251") + Encode(" mÜnchen", "CP850"),
    };
    std::vector<std::vector<TEightBitReadings::TReading>> alone;
    std::vector<bool> signsOnly;
    for (const std::string& sample : samples) {
        TEightBitReadings fresh;
        alone.push_back(fresh.Read(sample));
        signsOnly.push_back(fresh.SignsOnlyReading());
        ASSERT_FALSE(alone.back().empty());
    }
    TEightBitReadings reused;
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < samples.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectSame(reused.Read(samples[i]), alone[i]);
            EXPECT_EQ(reused.SignsOnlyReading(), signsOnly[i]);
            EXPECT_EQ(reused.Characters(), samples[i].size());
        }
}

TEST_F(EightBitReadingsTest, CostsAddUpOverTheLongestSample)
{
    // Starts with a letter and ends with a space: read k times over, it holds each of its pairs k
    // times, as the text starts after a boundary. Eight bytes, so that k copies fill the limit.
    const std::string words = Encode("щётка ж ", "WINDOWS-1251");
    ASSERT_EQ(TEightBitReadings::StatisticsLimit % words.size(), 0u);
    TEightBitReadings readings;
    const auto once = readings.Read(words);
    std::string longest;
    while (longest.size() + words.size() <= TEightBitReadings::StatisticsLimit)
        longest += words;
    const double times = static_cast<double>(longest.size() / words.size());
    ExpectSame(readings.Read(longest), once, times);
    // What lies past the limit is not read.
    ExpectSame(readings.Read(longest + Encode("Ξεσκεπάζω", "ISO-8859-7") + std::string(20000, '\xFF')), once, times);
}

TEST_F(EightBitReadingsTest, AsciiCaseSignsAndDigitsWeighAlike)
{
    // Every pair of bytes that folds into the same pair of symbols adds to it: the ASCII pairs, and
    // those with a letter past ASCII ("t" and "T" before "ô", "," and "!" after "é").
    const std::string lower = "Le cœur déçu, mais l'âme plutôt naïve: 12 rêves. Déjà vu, déjà lu; à 3 heures.\n";
    // Not a letter before one past ASCII: a small one there tells an odd capital in some reading.
    std::string folded = lower;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        char& c = folded[i];
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalpha(byte) && i % 3 != 0 && static_cast<unsigned char>(folded[i + 1]) < 0x80)
            c = static_cast<char>(std::toupper(byte));
        else if (c == ',' || c == '.')
            c = c == ',' ? '!' : '?';
        else if (c >= '0' && c <= '9')
            c = '7';
    }
    ASSERT_NE(folded, lower);
    for (const char* encoding : {"ISO-8859-15", "WINDOWS-1252"}) {
        SCOPED_TRACE(encoding);
        TEightBitReadings readings;
        const auto expected = readings.Read(Encode(lower, encoding));
        ASSERT_FALSE(expected.empty());
        ExpectSame(readings.Read(Encode(folded, encoding)), expected);
    }
}

TEST_F(EightBitReadingsTest, EveryOddCapitalWeighsTheSame)
{
    // A capital past ASCII after a small letter, ASCII ("cafÉ") or not ("dÉjÀ" holds two), costs
    // the same each time it occurs; after a capital ("CAFÉ") or a sign it costs nothing more.
    TEightBitReadings readings;
    const std::string encoding = "WINDOWS-1252";
    const auto plain = readings.Read(Encode("CAFÉ au lait, DÉJÀ VU. ", encoding));
    ASSERT_FALSE(plain.empty());
    const double base = Named(plain, encoding).Cost;
    const auto cost = [&](const std::string& Text) {
        const auto read = readings.Read(Encode(Text, encoding));
        return read.empty() ? 0.0 : Named(read, encoding).Cost - base;
    };
    const double once = cost("cafÉ au lait, DÉJÀ VU. ");
    EXPECT_GT(once, 0.0);
    EXPECT_NEAR(cost("cafÉ au lait, dÉjÀ VU. "), 3 * once, 1e-9);
    EXPECT_NEAR(cost("cafÉ au lait, DÉJÀ vU. "), once, 1e-9);
    // Each occurrence counts, not each distinct pair.
    const auto twice = [&](const std::string& Text) {
        return Named(readings.Read(Encode(Text + Text, encoding)), encoding).Cost;
    };
    EXPECT_NEAR(twice("cafÉ au lait, DÉJÀ VU. ") - twice("CAFÉ au lait, DÉJÀ VU. "), 2 * once, 1e-9);
}

} // namespace
