#pragma once

#include "detect/EncodingBytes.h"
#include "detect/LanguageTables.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads a sample in every 8-bit encoding of the language tables and tells how much each reading
// looks like a language written in that encoding: the cost, in nats, of its characters under the
// language's model of which letter follows which. Every byte of each encoding was decoded through
// the engine when the program was built (detect/EncodingBytes.h); a sample costs one pass over its bytes, a short
// dot product per language of each encoding that decodes it, and for the likeliest readings a few
// table look-ups per distinct pair of letters.
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

    TEightBitReadings();

    // The distinct readings of Sample, likeliest first: encodings that decode it to the same text
    // are one reading, named by the first of them in the tables' order. Encodings that cannot
    // decode every byte are left out, and so are those the engine did not know when the program
    // was built. Looks at no more than StatisticsLimit bytes.
    std::vector<TReading> Read(std::string_view Sample);
    // Characters in the last sample read (at most StatisticsLimit).
    std::size_t Characters() const { return CharacterCount; }
    // Whether some encoding reads every byte past ASCII of the last sample as a sign (a symbol,
    // punctuation, a number), so that the sample may hold no letter past ASCII at all.
    bool SignsOnlyReading() const { return SignsOnly; }

    static constexpr std::size_t StatisticsLimit = 16 * 1024;

private:
    static constexpr char32_t Undecodable = EncodingBytes::Undecodable;
    static constexpr std::uint8_t NoSymbol = 0xFF;
    // A sample's bytes are counted as units: the symbol of an ASCII byte (every encoding reads
    // ASCII alike), or the byte itself past 0x7F. Pairs of units are what the pair costs weigh.
    static constexpr std::size_t AsciiSymbols = LanguageTables::FirstLetter + 26;
    static constexpr std::size_t HighBytes = 128;
    static constexpr std::size_t Units = AsciiSymbols + HighBytes;

    struct TWriter {
        const LanguageTables::TLanguageTable* Table;
        std::size_t TableIndex;
        std::array<std::uint8_t, 256> Symbols; // byte -> the language's symbol, NoSymbol: undecodable
        // Unit -> where the row of its symbol starts in the language's pair costs, and its symbol.
        std::array<std::uint16_t, Units> UnitRows;
        std::array<std::uint8_t, Units> UnitSymbols;
        // Byte past 0x7F -> its cost as a stranger to the language, or 0; 16 bits for a dot product.
        std::array<std::int16_t, HighBytes> HighStrangers;
        // Byte past 0x7F -> the cost of its symbol alone and as a stranger; 16 bits so that a
        // sample's cost by single letters is one short dot product.
        std::array<std::int16_t, HighBytes> Singles;
        // Made when first weighed in full (see MakeUnitPairs), with 3 bytes more at the end: the
        // costs are read 4 bytes at a time.
        mutable std::unique_ptr<std::uint8_t[]> UnitPairs;
    };
    using THighBytes = std::bitset<HighBytes>; // a set of bytes past 0x7F
    struct TEncoding {
        std::string Name;
        std::array<char32_t, 256> Characters;
        std::array<bool, 256> Signs; // byte -> whether it decodes to a sign
        std::vector<TWriter> Writers;
        THighBytes Undecodable;
        THighBytes NotSigns;
        THighBytes Smalls;   // bytes past 0x7F that decode to a small letter
        THighBytes NotAfterSmalls; // to a capital or a sign that opens what follows
        std::vector<THighBytes> DiffersFrom; // by encoding: the bytes the two decode differently
    };
    // Encodings that decode the sample alike, named by the first, with the languages written in
    // any of them.
    struct TGroup {
        const TEncoding* Named = nullptr;
        std::size_t NamedIndex = 0;
        std::vector<const TWriter*> Writers;
        std::vector<char> HasTable; // by table: whether a writer of it is in Writers
        std::uint64_t Cost = 0;
        std::uint64_t HighCost = 0;
        const TWriter* Best = nullptr;
        // The language whose letters the pairs past ASCII were weighed by, when not Best's.
        const TWriter* Quoted = nullptr;
    };
    struct TRough {
        TGroup* Group;
        const TWriter* Writer;
        std::uint64_t Cost;
        std::size_t Order = 0; // in the list before sorting, so that ties keep it
    };
    // A pair of bytes past 0x7F, as units.
    struct THighHighPair {
        std::uint8_t First;
        std::uint8_t Second;
        std::uint16_t Count; // at most StatisticsLimit
    };
    // The pairs of ASCII symbols, row by row, each row padded to a multiple of 8 entries.
    static constexpr std::size_t AsciiRow = (AsciiSymbols + 7) / 8 * 8;
    using TAsciiPairs = std::array<std::int16_t, AsciiSymbols * AsciiRow>;

    // What quoting words of another language costs in the last sample; nothing when it cannot.
    std::optional<std::uint64_t> QuoteAllowance() const;
    // Weighs each reading also as words in ASCII of the language they fit best, quoting words of
    // another language of the reading whose letters past ASCII are its own.
    void WeighQuotedWords(std::uint64_t Allowance);
    // The language of the group that fits the sample's words in ASCII best.
    const TWriter* WordsWriter(const TGroup& Group);
    static bool OnlyForeignLetters(const TEncoding& Encoding, const TWriter& Writer, const std::vector<unsigned>& HighBytes);
    // How many capitals and opening signs past ASCII follow a small letter when Encoding reads
    // the sample.
    std::uint32_t OddAfterSmalls(const TEncoding& Encoding) const;
    std::size_t CountAlike(const TEncoding& Encoding) const;
    void Count(std::string_view Sample);
    void GroupEncodings();
    std::uint64_t AsciiCost(const TWriter& Writer);
    static void MakeUnitPairs(const TWriter& Writer);
    // The costs by single letters of Group's writers, in its order, into GroupSingles.
    void SingleCosts(const TGroup& Group);
    // Stops early, at a sum of Limit or more, once the sum is sure to reach Limit.
    std::uint64_t HighPairCost(const TWriter& Writer, std::uint64_t Limit) const;

    std::vector<TEncoding> Encodings;
    std::size_t TableCount = 0;
    // The costs of the pairs of ASCII symbols, pair by pair (as in TAsciiPairs) and the languages
    // side by side, in blocks of CostSums::Columns languages.
    std::vector<std::int16_t> AsciiPairColumns;

    // Per sample, kept between samples so that a run allocates them once.
    std::array<std::int16_t, HighBytes> HighCounts{}; // at most StatisticsLimit each
    TAsciiPairs AsciiPairCounts{};
    // Where AsciiPairCounts is not 0: the first AsciiPairsSeenCount entries.
    std::array<std::uint16_t, AsciiSymbols * AsciiRow> AsciiPairsSeen{};
    std::size_t AsciiPairsSeenCount = 0;
    // Pairs of bytes, by first byte + 256 * second byte, and those seen, each once, in order.
    std::vector<std::uint16_t> BytePairCounts;
    std::vector<std::uint16_t> BytePairsSeen;
    // The pairs of units with one byte past 0x7F and one in ASCII, merged from the pairs of bytes.
    std::vector<std::uint16_t> PairCounts;  // by first unit * Units + second unit
    std::vector<std::uint16_t> PairsSeen;   // the pairs of units seen, each once, in order
    // The pairs of units with one past 0x7F at least (first unit * Units + second unit) and their
    // counts: HighPairSize of each, padded with empty pairs to a multiple of 8 so that the pair
    // costs are weighed eight at a time.
    std::vector<std::int32_t> HighPairIndices;
    std::vector<std::int32_t> HighPairCounts;
    std::size_t HighPairSize = 0;
    std::vector<unsigned> HighBytesSeen;
    THighBytes HighSet;
    std::vector<std::uint64_t> AsciiCosts;  // by table; the largest number until needed
    std::vector<TGroup> Groups;
    std::size_t GroupCount = 0;
    std::vector<TRough> Rough;
    std::vector<TRough> OwnRough;
    std::vector<const std::int16_t*> SingleRows;
    std::vector<std::int32_t> GroupSingles;
    std::size_t CharacterCount = 0;
    bool SignsOnly = false;
    // Per sample: how often each byte follows a small ASCII letter (only those past 0x7F are
    // read), and the pairs of bytes past 0x7F ordered by their second byte, where each second
    // byte's pairs start (HighHighStarts[b - 0x80] to HighHighStarts[b - 0x7F]) and which occur.
    std::array<std::uint16_t, 256> AfterSmallAscii{};
    std::vector<THighHighPair> HighHighPairs;
    std::vector<THighHighPair> HighHighFound; // the same in the order found
    std::array<std::uint16_t, HighBytes + 1> HighHighStarts{};
    THighBytes HighHighSeconds;
    THighBytes AfterSmallAsciiSet;
};
