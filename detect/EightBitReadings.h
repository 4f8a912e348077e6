#pragma once

#include "detect/LanguageTables.h"

#include <array>
#include <cstddef>
#include <map>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TLumiva;

// Reads a sample in every 8-bit encoding of the language tables and tells how much each reading
// looks like a language written in that encoding: the cost, in nats, of its characters under the
// language's model of which letter follows which. Every byte of each encoding is decoded once,
// through the engine, when the object is made; a sample then costs one pass over its bytes and a
// few table look-ups per distinct pair of bytes.
class TEightBitReadings {
public:
    struct TReading {
        std::string Encoding;
        std::string_view Language;
        double Cost = 0;     // of the whole sample, in nats: less is likelier
        double HighCost = 0; // of the pairs of characters with one past ASCII, in nats
        double Typical = 0;  // what a character costs on average in the language's own texts
        // Letters past ASCII read: only ones the language does not have (a foreign letter or two
        // among signs says nothing of the language).
        bool OnlyForeignLetters = false;
        // How many encodings of the tables read the sample alike.
        std::size_t Alike = 1;
    };

    explicit TEightBitReadings(TLumiva& Engine);

    // The distinct readings of Sample, likeliest first: encodings that decode it to the same text
    // are one reading, named by the first of them in the tables' order. Encodings that cannot
    // decode every byte are left out. Looks at no more than StatisticsLimit bytes.
    std::vector<TReading> Read(std::string_view Sample);
    // Characters in the last sample read (at most StatisticsLimit).
    std::size_t Characters() const { return CharacterCount; }
    // Whether some encoding reads every byte past ASCII of the last sample as a sign (a symbol,
    // punctuation, a number), so that the sample may hold no letter past ASCII at all.
    bool SignsOnlyReading() const { return SignsOnly; }

    static constexpr std::size_t StatisticsLimit = 16 * 1024;

private:
    static constexpr char32_t Undecodable = 0xFFFFFFFF;
    static constexpr std::uint8_t NoSymbol = 0xFF;

    struct TWriter {
        const LanguageTables::TLanguageTable* Table;
        std::array<std::uint8_t, 256> Symbols; // byte -> the language's symbol, NoSymbol: undecodable
        std::array<std::uint8_t, 256> Strangers; // byte -> its cost as a stranger to the language, or 0
        std::array<std::uint16_t, 256> Singles;  // byte -> the cost of its symbol alone and as a stranger
    };
    struct TEncoding {
        std::string Name;
        std::array<char32_t, 256> Characters;
        std::array<bool, 256> Signs; // byte -> whether it decodes to a sign
        std::vector<TWriter> Writers;
    };

    static bool OnlyForeignLetters(const TEncoding& Encoding, const TWriter& Writer, const std::vector<unsigned>& HighBytes);
    // Adds to each reading the cost of its capitals past ASCII that follow a small letter.
    void WeighOddCapitals(std::string_view Sample, std::vector<TReading>& Readings);
    void CountAlike(std::vector<TReading>& Readings) const;

    std::vector<TEncoding> Encodings;
    // Per sample: how often each byte and each pair of bytes with one past 0x7F occurs.
    std::array<std::uint32_t, 256> ByteCounts{};
    std::vector<std::uint32_t> PairCounts;
    std::vector<std::uint16_t> Pairs; // the pairs seen, each once
    static constexpr std::size_t AsciiSymbols = LanguageTables::FirstLetter + 26;
    std::array<std::uint32_t, AsciiSymbols * AsciiSymbols> AsciiPairCounts{};
    std::size_t CharacterCount = 0;
    bool SignsOnly = false;
    // By encoding, made when first needed: byte -> 1 a small letter, 2 a capital, 0 anything else.
    std::map<std::string, std::array<std::uint8_t, 256>, std::less<>> LetterCases;
    // Per sample: how often each byte past 0x7F follows a small ASCII letter (row 0) or a byte
    // past 0x7F (rows 1 to 128), and the cells counted.
    std::vector<std::uint32_t> AfterCounts = std::vector<std::uint32_t>(129 * 128, 0);
    std::vector<std::uint16_t> AfterSeen;
};
