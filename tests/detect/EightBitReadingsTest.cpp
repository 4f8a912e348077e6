// The 8-bit readings keep their counts between samples only to save allocations: a sample must
// read the same whatever was read before it, and its costs must add up exactly over the longest
// sample (nothing wraps in the counts or the sums).
#include "detect/EightBitReadings.h"
#include "tests/detect/DetectorTestBase.h"

#include <gtest/gtest.h>

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

} // namespace
