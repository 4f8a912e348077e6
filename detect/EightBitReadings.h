#pragma once

#include "detect/LanguageTables.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TLumiva;

// Reads a sample in every 8-bit encoding of the language tables and tells how much each reading
// looks like a language written in that encoding: the cost, in nats, of its characters under the
// language's model of which letter follows which. Every byte of each encoding is decoded once,
// through the engine, when the object is made; a sample then costs one pass over its bytes, a short
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

    explicit TEightBitReadings(TLumiva& Converter);

    // The distinct readings of Sample, likeliest first: encodings that decode it to the same text
    // are one reading, named by the first of them in the tables' order. Encodings that cannot
    // decode every byte are left out, and so are those the engine does not know: every reading's
    // encoding is one the engine has started. Looks at no more than StatisticsLimit bytes.
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
        std::array<std::uint8_t, 256> Strangers; // byte -> its cost as a stranger to the language, or 0
        // Byte past 0x7F -> the cost of its symbol alone and as a stranger; 16 bits so that a
        // sample's cost by single letters is one short dot product.
        std::array<std::int16_t, HighBytes> Singles;
    };
    using THighBytes = std::bitset<HighBytes>; // a set of bytes past 0x7F
    struct TEncoding {
        std::string Name;
        std::array<char32_t, 256> Characters;
        std::array<bool, 256> Signs; // byte -> whether it decodes to a sign
        std::vector<TWriter> Writers;
        THighBytes Undecodable;
        THighBytes NotSigns;
        std::vector<THighBytes> DiffersFrom; // by encoding: the bytes the two decode differently
    };
    // Encodings that decode the sample alike, named by the first, with the languages written in
    // any of them.
    struct TGroup {
        const TEncoding* Named = nullptr;
        std::size_t NamedIndex = 0;
        std::vector<const TWriter*> Writers;
        std::vector<bool> HasTable; // by table: whether a writer of it is in Writers
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
    struct TUnitPair {
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
    // Adds to each reading the cost of its capitals past ASCII that follow a small letter.
    void WeighOddCapitals(std::string_view Sample, std::vector<TReading>& Readings);
    void CountAlike(std::vector<TReading>& Readings) const;
    void Count(std::string_view Sample);
    void GroupEncodings();
    std::uint64_t AsciiCost(const TWriter& Writer);
    std::uint64_t SingleCost(const TWriter& Writer) const;
    std::uint64_t HighPairCost(const TWriter& Writer) const;

    std::vector<TEncoding> Encodings;
    std::size_t TableCount = 0;
    std::vector<TAsciiPairs> AsciiPairCosts; // by table

    // Per sample, kept between samples so that a run allocates them once.
    std::array<std::int16_t, HighBytes> HighCounts{}; // at most StatisticsLimit each
    TAsciiPairs AsciiPairCounts{};
    std::vector<std::uint16_t> PairCounts;  // by first unit * Units + second unit
    std::vector<std::uint16_t> PairsSeen;   // the pairs of units seen, each once, in order
    std::vector<TUnitPair> HighPairs;       // one unit past 0x7F at least
    std::vector<unsigned> HighBytesSeen;
    THighBytes HighSet;
    std::vector<std::uint64_t> AsciiCosts;  // by table; the largest number until needed
    std::vector<TGroup> Groups;
    std::size_t GroupCount = 0;
    std::vector<TRough> Rough;
    std::vector<TRough> OwnRough;
    std::size_t CharacterCount = 0;
    bool SignsOnly = false;
    // By encoding, made when first needed: byte -> 1 a small letter, 2 a capital, 0 anything else.
    std::map<std::string, std::array<std::uint8_t, 256>, std::less<>> LetterCases;
    // Per sample: how often each byte past 0x7F follows a small ASCII letter (row 0) or a byte
    // past 0x7F (rows 1 to 128), and the cells counted.
    std::vector<std::uint32_t> AfterCounts = std::vector<std::uint32_t>(129 * 128, 0);
    std::vector<std::uint16_t> AfterSeen;
};
