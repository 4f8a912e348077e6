#pragma once

#include "detect/LanguageTables.h"

#include <array>
#include <cstddef>
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
    };

    explicit TEightBitReadings(TLumiva& Engine);

    // The distinct readings of Sample, likeliest first: encodings that decode it to the same text
    // are one reading, named by the first of them in the tables' order. Encodings that cannot
    // decode every byte are left out. Looks at no more than StatisticsLimit bytes.
    std::vector<TReading> Read(std::string_view Sample);
    // Characters in the last sample read (at most StatisticsLimit).
    std::size_t Characters() const { return CharacterCount; }

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
        std::vector<TWriter> Writers;
    };

    std::vector<TEncoding> Encodings;
    // Per sample: how often each byte and each pair of bytes with one past 0x7F occurs.
    std::array<std::uint32_t, 256> ByteCounts{};
    std::vector<std::uint32_t> PairCounts;
    std::vector<std::uint16_t> Pairs; // the pairs seen, each once
    static constexpr std::size_t AsciiSymbols = LanguageTables::FirstLetter + 26;
    std::array<std::uint32_t, AsciiSymbols * AsciiSymbols> AsciiPairCounts{};
    std::size_t CharacterCount = 0;
};
