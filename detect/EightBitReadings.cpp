#include "detect/EightBitReadings.h"

#include "detect/CostSums.h"
#include "detect/DetectionLibraries.h"
#include "detect/EncodingBytes.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

namespace {

// Readings and languages whose costs are worked out in full: the likeliest by single letters.
constexpr std::size_t ReadingsWeighed = 10;
constexpr std::size_t LanguagesPerReading = 2;
// What a capital past ASCII costs, in nats, straight after a small letter: the language tables
// fold case, and "cafÈ" or "MÜnchen" is how a wrong code page reads "café" or "München".
// On the tuning half (bench/detect_corpus.py --half tuning) 3 to 10 nats gave the same answers.
// An opening quote, a bullet or a euro sign there costs the same: "ge•nstalleerd" and "Belgi‘"
// are how WINDOWS-1252 reads "geïnstalleerd" and "België" written on a Macintosh.
constexpr double OddCapitalCost = 5.0;
// Text quotes names and words of other languages: "Bokmål" or "Zacatlán" in English, Hebrew
// words in rows of English. The letters past ASCII of such a sample may be weighed, with their
// neighbours, by a language of the reading that has them as its own, the words in ASCII by the one
// they fit best, at this cost in nats for quoting at all. On the tuning half 5 to 12 nats gave the
// same answers.
constexpr double QuoteCost = 10.0;
// Quoted words are few among many: at most one byte in this many is past ASCII.
constexpr std::size_t MostQuotedShare = 4;
// And they read as that language's words: their pairs cost at most this many nats more on average
// than the language's own text.
constexpr double QuotedExcessCost = 1.0;

constexpr std::uint8_t AsciiSymbol(unsigned char Byte)
{
    if (Byte >= 'a' && Byte <= 'z')
        return static_cast<std::uint8_t>(LanguageTables::FirstLetter + (Byte - 'a'));
    if (Byte >= 'A' && Byte <= 'Z')
        return static_cast<std::uint8_t>(LanguageTables::FirstLetter + (Byte - 'A'));
    if (Byte >= '0' && Byte <= '9')
        return LanguageTables::Digit;
    return LanguageTables::Boundary;
}

// The tables learned from texts whose quotes, dashes and ellipses were written in ASCII
// (scripts/language_texts.py), and that hardly hold a bullet or a euro sign: a reading weighs
// these typographic signs of the Windows code pages as ASCII punctuation, at this cost in nats for
// the spelling. Without it "it’s" or "20 €" in WINDOWS-1252 cost more than a foreign letter at
// those bytes in a DOS or Macintosh code page. On the tuning half 5 and 6 nats gave the same
// answers, 4 one wrong.
constexpr double StandInCost = 5.0;
constexpr bool HasAsciiStandIn(char32_t Code)
{
    switch (Code) {
    case U'\u2018': case U'\u2019': case U'\u201C': case U'\u201D': case U'\u201E': // quotes
    case U'\u2010': case U'\u2011': case U'\u2013': case U'\u2014': case U'\u2212': // dashes
    case U'\u2026': case U'\u2022': case U'\u20AC': // ellipsis, bullet, euro
        return true;
    default:
        return false;
    }
}

// Signs that open what follows, never straight after a letter.
constexpr bool OpensWhatFollows(char32_t Code)
{
    return Code == U'\u2018' || Code == U'\u201C' || Code == U'\u201E' || Code == U'\u2022' || Code == U'\u20AC';
}

// Byte -> its unit (see TEightBitReadings::Units).
constexpr std::array<std::uint8_t, 256> UnitsOfBytes = [] {
    std::array<std::uint8_t, 256> units{};
    for (unsigned b = 0; b < 256; ++b)
        units[b] = b >= 0x80 ? static_cast<std::uint8_t>(LanguageTables::FirstLetter + 26 + (b - 0x80))
                             : AsciiSymbol(static_cast<unsigned char>(b));
    return units;
}();

// Punctuation, numbers, spaces, currency, and the symbols of Latin-1, general punctuation and
// letter-like symbols: signs that text sets among words. Box drawing, mathematical operators and
// the like are not. As scripts/language_tables.py counts them.
bool IsSign(char32_t Code)
{
    switch (DetectionLibraries().CharType(static_cast<UChar32>(Code))) {
    case U_DASH_PUNCTUATION: case U_START_PUNCTUATION: case U_END_PUNCTUATION: case U_CONNECTOR_PUNCTUATION:
    case U_OTHER_PUNCTUATION: case U_INITIAL_PUNCTUATION: case U_FINAL_PUNCTUATION:
    case U_DECIMAL_DIGIT_NUMBER: case U_LETTER_NUMBER: case U_OTHER_NUMBER: case U_SPACE_SEPARATOR:
    case U_CURRENCY_SYMBOL:
        return true;
    case U_MATH_SYMBOL: case U_MODIFIER_SYMBOL: case U_OTHER_SYMBOL:
        return (Code >= 0xA0 && Code <= 0x2FF) || (Code >= 0x2000 && Code <= 0x214F);
    default:
        return false;
    }
}

} // namespace

TEightBitReadings::TEightBitReadings()
    : TableCount(LanguageTables::Languages().size()), BytePairCounts(256 * 256, 0), PairCounts(Units * Units, 0),
      HighPairIndices(8), HighPairCounts(8), AsciiCosts(TableCount)
{
    const std::span<const LanguageTables::TLanguageTable> tables = LanguageTables::Languages();
    const std::size_t cells = std::tuple_size_v<TAsciiPairs>;
    AsciiPairColumns.assign((TableCount + CostSums::Columns - 1) / CostSums::Columns * cells * CostSums::Columns, 0);
    for (std::size_t t = 0; t < TableCount; ++t) {
        std::int16_t* const columns = AsciiPairColumns.data() + t / CostSums::Columns * cells * CostSums::Columns;
        for (std::size_t first = 0; first < AsciiSymbols; ++first)
            for (std::size_t second = 0; second < AsciiSymbols; ++second)
                columns[(first * AsciiRow + second) * CostSums::Columns + t % CostSums::Columns] =
                    tables[t].Pairs[first * tables[t].Size + second];
    }
    for (const LanguageTables::TEncodingLanguages& entry : LanguageTables::Encodings()) {
        const EncodingBytes::TTable* characters = EncodingBytes::Built(entry.Encoding);
        if (characters == nullptr)
            continue; // the engine did not know it
        TEncoding encoding{std::string(entry.Encoding), *characters, {}, {}, {}, {}, {}, {}, {}};
        // The C1 controls are no text: a sample with bytes that an encoding reads as them is not
        // in that encoding (ISO-8859-1 where WINDOWS-1252 has its quotes and dashes).
        for (char32_t& c : encoding.Characters)
            if (c >= 0x80 && c < 0xA0)
                c = Undecodable;
        for (unsigned b = 0; b < 256; ++b)
            encoding.Signs[b] = encoding.Characters[b] != Undecodable && encoding.Characters[b] >= 0x80 &&
                                IsSign(encoding.Characters[b]);
        // The pairs of ASCII bytes are counted once for all encodings: each must read them as ASCII.
        bool ascii = true;
        for (unsigned b = 0; b < 0x80; ++b)
            ascii = ascii && encoding.Characters[b] == static_cast<char32_t>(b);
        if (!ascii)
            continue; // or the engine does not know it
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const LanguageTables::TLanguageTable& table = tables[t];
            // Whole words: "pt" is not "pt_BR".
            const std::string_view names = entry.Languages;
            bool writes = false;
            for (std::size_t start = 0; start <= names.size();) {
                const std::size_t end = std::min(names.find(' ', start), names.size());
                writes = writes || names.substr(start, end - start) == table.Name;
                start = end + 1;
            }
            if (!writes)
                continue;
            TWriter writer{&table, t, {}, {}, {}, {}, {}, {}};
            for (unsigned b = 0; b < 256; ++b) {
                const char32_t c = encoding.Characters[b];
                const bool standIn = HasAsciiStandIn(c);
                writer.Symbols[b] = c == Undecodable ? NoSymbol
                                    : standIn        ? std::uint8_t{LanguageTables::Boundary}
                                    : c < 0x80       ? AsciiSymbol(static_cast<unsigned char>(c))
                                                     : LanguageTables::SymbolOf(table, c, encoding.Signs[b]);
                // ASCII is never a stranger: only the bytes past it cost as one.
                if (b >= 0x80) {
                    const bool stranger = writer.Symbols[b] == LanguageTables::Other || writer.Symbols[b] == LanguageTables::Sign;
                    const std::uint8_t strangerCost =
                        standIn    ? static_cast<std::uint8_t>(StandInCost * LanguageTables::CostScale() + 0.5)
                        : stranger ? LanguageTables::StrangerCost(table, c)
                                   : 0;
                    writer.Singles[b - 0x80] =
                        c == Undecodable ? 0 : static_cast<std::int16_t>(table.Singles[writer.Symbols[b]] + strangerCost);
                    writer.HighStrangers[b - 0x80] = strangerCost;
                }
            }
            for (std::size_t u = 0; u < Units; ++u) {
                writer.UnitSymbols[u] = u < AsciiSymbols ? static_cast<std::uint8_t>(u) : writer.Symbols[0x80 + u - AsciiSymbols];
                // Undecodable bytes never reach the pair costs: their encoding reads no sample.
                writer.UnitRows[u] = writer.UnitSymbols[u] == NoSymbol ? 0 : static_cast<std::uint16_t>(writer.UnitSymbols[u] * table.Size);
            }
            encoding.Writers.push_back(std::move(writer));
        }
        if (encoding.Writers.empty())
            continue;
        for (unsigned b = 0x80; b < 256; ++b) {
            const char32_t code = encoding.Characters[b];
            encoding.Undecodable[b - 0x80] = code == Undecodable;
            encoding.NotSigns[b - 0x80] = !encoding.Signs[b];
            const auto type = code == Undecodable ? 0 : DetectionLibraries().CharType(static_cast<UChar32>(code));
            encoding.Smalls[b - 0x80] = type == U_LOWERCASE_LETTER;
            encoding.NotAfterSmalls[b - 0x80] = type == U_UPPERCASE_LETTER || OpensWhatFollows(code);
        }
        Encodings.push_back(std::move(encoding));
    }
    for (TEncoding& encoding : Encodings)
        for (const TEncoding& other : Encodings) {
            THighBytes differ;
            for (unsigned b = 0x80; b < 256; ++b)
                differ[b - 0x80] = encoding.Characters[b] != other.Characters[b];
            encoding.DiffersFrom.push_back(differ);
        }
}

bool TEightBitReadings::OnlyForeignLetters(const TEncoding& Encoding, const TWriter& Writer,
                                           const std::vector<unsigned>& HighBytes)
{
    bool foreign = false;
    for (const unsigned b : HighBytes) {
        if (Encoding.Signs[b])
            continue;
        if (Writer.Symbols[b] >= LanguageTables::FirstLetter)
            return false;
        foreign = foreign || Writer.Symbols[b] == LanguageTables::Other;
    }
    return foreign;
}

void TEightBitReadings::Count(std::string_view Sample)
{
    CharacterCount = Sample.size();
    // At most a pair a byte: the lists grow to the longest sample read.
    if (BytePairsSeen.size() < Sample.size()) {
        BytePairsSeen.resize(Sample.size());
        PairsSeen.resize(Sample.size());
        HighPairIndices.resize(Sample.size() + 8);
        HighPairCounts.resize(Sample.size() + 8);
        HighHighFound.resize(Sample.size());
        HighHighPairs.resize(Sample.size());
    }
    // Pairs of bytes first: two adjacent bytes are the pair's index, with no look-up. Each pair is
    // noted at its first position, without a branch: one taken for every new pair costs more than
    // the counting. The text starts after a boundary, as each text of the tables did.
    const auto* const bytes = reinterpret_cast<const unsigned char*>(Sample.data());
    std::size_t distinct = 0;
    const auto note = [&](std::uint16_t Pair) {
        BytePairsSeen[distinct] = Pair;
        distinct += BytePairCounts[Pair]++ == 0;
    };
    if (!Sample.empty())
        note(static_cast<std::uint16_t>(' ' | bytes[0] << 8));
    std::size_t i = 1;
    if constexpr (std::endian::native == std::endian::little) {
        // Four pairs from each 8 bytes read.
        for (; i + 7 <= Sample.size(); i += 4) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i - 1, sizeof word);
            note(static_cast<std::uint16_t>(word));
            note(static_cast<std::uint16_t>(word >> 8));
            note(static_cast<std::uint16_t>(word >> 16));
            note(static_cast<std::uint16_t>(word >> 24));
        }
    }
    for (; i < Sample.size(); ++i)
        note(static_cast<std::uint16_t>(bytes[i - 1] | bytes[i] << 8));
    // Then by units (see Units): the pairs of ASCII symbols into their own counts, the others
    // merged into pairs of units; those past 0x7F and after a small ASCII letter are also counted
    // alone. Every byte is the second of a pair.
    HighCounts.fill(0);
    AfterSmallAscii.fill(0);
    for (std::size_t i = 0; i < AsciiPairsSeenCount; ++i)
        AsciiPairCounts[AsciiPairsSeen[i]] = 0;
    HighHighStarts.fill(0);
    std::size_t asciiPairs = 0;
    std::size_t mixedPairs = 0;
    std::size_t highPairs = 0;
    std::size_t highHighPairs = 0;
    for (std::size_t i = 0; i < distinct; ++i) {
        const std::uint16_t pair = BytePairsSeen[i];
        const std::uint16_t count = BytePairCounts[pair];
        BytePairCounts[pair] = 0; // for the next sample
        const unsigned first = pair & 0xFFu;
        const unsigned second = pair >> 8;
        const std::uint8_t firstUnit = UnitsOfBytes[first];
        const std::uint8_t secondUnit = UnitsOfBytes[second];
        if ((pair & 0x8080u) == 0) {
            const auto cell = static_cast<std::uint16_t>(firstUnit * AsciiRow + secondUnit);
            AsciiPairsSeen[asciiPairs] = cell;
            asciiPairs += AsciiPairCounts[cell] == 0;
            AsciiPairCounts[cell] = static_cast<std::int16_t>(AsciiPairCounts[cell] + count);
            continue;
        }
        if (second >= 0x80) {
            HighCounts[second - 0x80] = static_cast<std::int16_t>(HighCounts[second - 0x80] + count);
            if (first - 'a' < 26u)
                AfterSmallAscii[second] = static_cast<std::uint16_t>(AfterSmallAscii[second] + count);
        }
        const auto unitPair = static_cast<std::uint16_t>(firstUnit * Units + secondUnit);
        if ((pair & 0x8080u) == 0x8080u) {
            // Two bytes past 0x7F are a pair of units of their own.
            HighPairIndices[highPairs] = unitPair;
            HighPairCounts[highPairs++] = count;
            HighHighFound[highHighPairs++] = {firstUnit, secondUnit, count};
            ++HighHighStarts[second - 0x80 + 1];
            continue;
        }
        PairsSeen[mixedPairs] = unitPair;
        mixedPairs += PairCounts[unitPair] == 0;
        PairCounts[unitPair] = static_cast<std::uint16_t>(PairCounts[unitPair] + count);
    }
    AsciiPairsSeenCount = asciiPairs;
    for (std::size_t i = 0; i < mixedPairs; ++i) {
        const std::uint16_t pair = PairsSeen[i];
        HighPairIndices[highPairs] = pair;
        HighPairCounts[highPairs++] = PairCounts[pair];
        PairCounts[pair] = 0; // for the next sample
    }
    for (HighPairSize = highPairs; HighPairSize % 8 != 0; ++HighPairSize) {
        HighPairIndices[HighPairSize] = 0;
        HighPairCounts[HighPairSize] = 0;
    }
    // The pairs of two bytes past 0x7F, by their second byte: a counting sort.
    HighHighSeconds.reset();
    for (std::size_t b = 0; b < HighBytes; ++b) {
        HighHighSeconds[b] = HighHighStarts[b + 1] > 0;
        HighHighStarts[b + 1] = static_cast<std::uint16_t>(HighHighStarts[b + 1] + HighHighStarts[b]);
    }
    std::array<std::uint16_t, HighBytes> placed;
    std::copy(HighHighStarts.begin(), HighHighStarts.end() - 1, placed.begin());
    for (std::size_t i = 0; i < highHighPairs; ++i)
        HighHighPairs[placed[HighHighFound[i].Second - AsciiSymbols]++] = HighHighFound[i];
    HighBytesSeen.clear();
    HighSet.reset();
    AfterSmallAsciiSet.reset();
    for (unsigned b = 0x80; b < 256; ++b) {
        if (HighCounts[b - 0x80] > 0) {
            HighBytesSeen.push_back(b);
            HighSet.set(b - 0x80);
        }
        AfterSmallAsciiSet[b - 0x80] = AfterSmallAscii[b] > 0;
    }
    std::fill(AsciiCosts.begin(), AsciiCosts.end(), std::numeric_limits<std::uint64_t>::max());
}

// Distinct readings: an encoding that decodes every byte of the sample as an earlier one does
// joins it, with the languages written in it.
void TEightBitReadings::GroupEncodings()
{
    GroupCount = 0;
    SignsOnly = false;
    for (std::size_t e = 0; e < Encodings.size(); ++e) {
        const TEncoding& encoding = Encodings[e];
        if ((HighSet & encoding.Undecodable).any())
            continue;
        SignsOnly = SignsOnly || (HighSet.any() && (HighSet & encoding.NotSigns).none());
        std::size_t same = 0;
        while (same < GroupCount && (HighSet & encoding.DiffersFrom[Groups[same].NamedIndex]).any())
            ++same;
        if (same == GroupCount) {
            if (Groups.size() == GroupCount)
                Groups.emplace_back();
            TGroup& group = Groups[GroupCount++];
            group.Named = &encoding;
            group.NamedIndex = e;
            group.Writers.clear();
            group.HasTable.assign(TableCount, 0);
            group.Cost = std::numeric_limits<std::uint64_t>::max();
            group.HighCost = 0;
            group.Best = nullptr;
            group.Quoted = nullptr;
        }
        TGroup& group = Groups[same];
        for (const TWriter& writer : encoding.Writers)
            if (!group.HasTable[writer.TableIndex]) {
                group.HasTable[writer.TableIndex] = 1;
                group.Writers.push_back(&writer);
            }
    }
}

// Whole costs are in 1/CostScale nat, in integers: sums in any order are the same sums.
std::uint64_t TEightBitReadings::AsciiCost(const TWriter& Writer)
{
    if (AsciiCosts[Writer.TableIndex] == std::numeric_limits<std::uint64_t>::max()) {
        // The pairs of ASCII letters cost the same in every reading: once per language, and all
        // languages at once, the pairs the sample holds only.
        std::array<std::int32_t, CostSums::Columns> sums;
        const std::size_t cells = std::tuple_size_v<TAsciiPairs>;
        for (std::size_t first = 0; first < TableCount; first += CostSums::Columns) {
            CostSums::ColumnSums(AsciiPairCounts.data(), AsciiPairsSeen.data(), AsciiPairsSeenCount,
                                 AsciiPairColumns.data() + first * cells, sums.data());
            for (std::size_t t = first; t < std::min(TableCount, first + CostSums::Columns); ++t)
                AsciiCosts[t] = static_cast<std::uint64_t>(sums[t - first]);
        }
    }
    return AsciiCosts[Writer.TableIndex];
}

void TEightBitReadings::SingleCosts(const TGroup& Group)
{
    // No byte is counted more than StatisticsLimit times and no single costs more than two bytes'
    // worth, so 32 bits hold each sum; a dot product of 16-bit numbers is what processors do fast.
    static_assert(HighBytes == CostSums::RowSize);
    SingleRows.clear();
    for (const TWriter* writer : Group.Writers)
        SingleRows.push_back(writer->Singles.data());
    GroupSingles.resize(SingleRows.size());
    CostSums::Dots(HighCounts.data(), SingleRows.data(), SingleRows.size(), GroupSingles.data());
}

std::uint64_t TEightBitReadings::HighPairCost(const TWriter& Writer, std::uint64_t Limit) const
{
    // Every term is a count times a cost, neither below 0: the sum only grows.
    auto cost = static_cast<std::uint64_t>(CostSums::Dot(HighCounts.data(), Writer.HighStrangers.data(), HighBytes));
    // Most languages that a sample quotes nothing of pass the limit by their strangers alone: their
    // pair costs, 25 KB each, are never made.
    if (cost >= Limit)
        return cost;
    if (!Writer.UnitPairs)
        MakeUnitPairs(Writer);
    const std::uint8_t* const pairs = Writer.UnitPairs.get();
    constexpr std::size_t Stride = 64; // pairs between two looks at the limit
    for (std::size_t start = 0; start < HighPairSize && cost < Limit; start += Stride) {
        const std::size_t size = std::min(HighPairSize - start, Stride);
        cost += static_cast<std::uint64_t>(CostSums::Gathered(pairs, HighPairIndices.data() + start, HighPairCounts.data() + start, size));
    }
    return cost;
}

std::vector<TEightBitReadings::TReading> TEightBitReadings::Read(std::string_view Sample)
{
    Count(Sample.substr(0, StatisticsLimit));
    GroupEncodings();

    // First by single letters, which is cheap; then the likeliest in full.
    Rough.clear();
    for (std::size_t g = 0; g < GroupCount; ++g) {
        TGroup& group = Groups[g];
        OwnRough.clear();
        SingleCosts(group);
        for (std::size_t w = 0; w < group.Writers.size(); ++w)
            OwnRough.push_back({&group, group.Writers[w], AsciiCost(*group.Writers[w]) + static_cast<std::uint64_t>(GroupSingles[w]), 0});
        std::sort(OwnRough.begin(), OwnRough.end(), [](const TRough& a, const TRough& b) { return a.Cost < b.Cost; });
        Rough.insert(Rough.end(), OwnRough.begin(),
                     OwnRough.begin() + static_cast<std::ptrdiff_t>(std::min(OwnRough.size(), LanguagesPerReading)));
    }
    // A stable sort, without the buffer that std::stable_sort allocates.
    for (std::size_t i = 0; i < Rough.size(); ++i)
        Rough[i].Order = i;
    std::sort(Rough.begin(), Rough.end(),
              [](const TRough& a, const TRough& b) { return a.Cost != b.Cost ? a.Cost < b.Cost : a.Order < b.Order; });
    std::size_t weighedGroups = 0;
    for (const TRough& r : Rough) {
        if (r.Group->Best == nullptr && ++weighedGroups > ReadingsWeighed)
            continue;
        // A language that cannot beat the reading's best so far is not weighed to the end.
        const std::uint64_t ascii = AsciiCost(*r.Writer);
        if (ascii >= r.Group->Cost)
            continue;
        const std::uint64_t high = HighPairCost(*r.Writer, r.Group->Cost - ascii);
        const std::uint64_t cost = ascii + high;
        if (cost < r.Group->Cost) {
            r.Group->Cost = cost;
            r.Group->HighCost = high;
            r.Group->Best = r.Writer;
        }
    }
    if (const std::optional<std::uint64_t> allowance = QuoteAllowance())
        WeighQuotedWords(*allowance);

    const double nats = 1.0 / LanguageTables::CostScale();
    std::vector<TReading> readings;
    readings.reserve(std::min(GroupCount, ReadingsWeighed));
    for (std::size_t g = 0; g < GroupCount; ++g) {
        const TGroup& group = Groups[g];
        if (group.Best == nullptr)
            continue;
        TReading& reading = readings.emplace_back(
            TReading{group.Named->Name, group.Best->Table->Name, static_cast<double>(group.Cost) * nats,
                     static_cast<double>(group.HighCost) * nats, group.Best->Table->Typical * nats,
                     OnlyForeignLetters(*group.Named, group.Quoted != nullptr ? *group.Quoted : *group.Best, HighBytesSeen),
                     CountAlike(*group.Named)});
        const std::uint32_t odd = OddAfterSmalls(*group.Named);
        if (odd > 0) {
            reading.Cost += odd * OddCapitalCost;
            reading.HighCost += odd * OddCapitalCost;
        }
    }
    std::stable_sort(readings.begin(), readings.end(),
                     [](const TReading& a, const TReading& b) { return a.Cost < b.Cost; });
    return readings;
}

std::optional<std::uint64_t> TEightBitReadings::QuoteAllowance() const
{
    // In a text mostly past ASCII (Greek, Hebrew, a double-byte encoding) the words in ASCII are
    // what is quoted.
    std::size_t high = 0;
    for (const unsigned b : HighBytesSeen)
        high += static_cast<std::size_t>(HighCounts[b - 0x80]);
    if (high * MostQuotedShare > CharacterCount)
        return std::nullopt;
    return static_cast<std::uint64_t>(QuoteCost * LanguageTables::CostScale());
}

const TEightBitReadings::TWriter* TEightBitReadings::WordsWriter(const TGroup& Group)
{
    const TWriter* words = Group.Writers.front();
    for (const TWriter* writer : Group.Writers)
        if (AsciiCost(*writer) < AsciiCost(*words))
            words = writer;
    return words;
}

void TEightBitReadings::WeighQuotedWords(std::uint64_t Allowance)
{
    std::uint64_t pairs = 0;
    for (std::size_t i = 0; i < HighPairSize; ++i)
        pairs += static_cast<std::uint64_t>(HighPairCounts[i]);
    const auto ownsSome = [&](const TWriter& Writer) {
        return std::any_of(HighBytesSeen.begin(), HighBytesSeen.end(),
                           [&](unsigned b) { return Writer.Symbols[b] >= LanguageTables::FirstLetter; });
    };
    // Every reading, also those that single letters left out: a few quoted letters weigh little
    // in single letters against the words around them.
    for (std::size_t g = 0; g < GroupCount; ++g) {
        TGroup& group = Groups[g];
        const TWriter* words = WordsWriter(group);
        if (AsciiCost(*words) + Allowance >= group.Cost)
            continue;
        for (const TWriter* quoted : group.Writers) {
            // The words' own language alone as well, where the weighing passed it over.
            const bool itself = quoted == words;
            if (itself ? group.Best == nullptr || group.Best == words : !ownsSome(*quoted))
                continue;
            // Past the cost at which it could no longer win, or read as the quoted language's words.
            std::uint64_t limit = group.Cost - AsciiCost(*words) - (itself ? 0 : Allowance);
            if (!itself) {
                const double most = (quoted->Table->Typical + QuotedExcessCost * LanguageTables::CostScale()) *
                                    static_cast<double>(pairs);
                limit = std::min(limit, static_cast<std::uint64_t>(most) + 1);
            }
            const std::uint64_t own = HighPairCost(*quoted, limit);
            if (own >= limit)
                continue;
            group.HighCost = own + (itself ? 0 : Allowance);
            group.Cost = AsciiCost(*words) + group.HighCost;
            group.Quoted = itself ? nullptr : quoted;
            if (itself || group.Best == nullptr)
                group.Best = words;
        }
    }
}

// The writer's cost of every pair of units, by first unit * Units + second unit: made for the
// writers that a run weighs in full, once.
void TEightBitReadings::MakeUnitPairs(const TWriter& Writer)
{
    // Every byte is written below, so none is cleared first.
    auto costs = std::make_unique_for_overwrite<std::uint8_t[]>(Units * Units + 3);
    std::memset(costs.get() + Units * Units, 0, 3);
    const LanguageTables::TLanguageTable& table = *Writer.Table;
    // The symbols of the units past ASCII; for a byte that the writer's encoding cannot decode, one
    // that every row has (its cost is never read).
    std::array<std::int32_t, HighBytes> highSymbols;
    for (std::size_t b = 0; b < HighBytes; ++b)
        highSymbols[b] = Writer.UnitSymbols[AsciiSymbols + b] == NoSymbol ? 0 : Writer.UnitSymbols[AsciiSymbols + b];
    for (std::size_t first = 0; first < Units; ++first) {
        std::uint8_t* const out = costs.get() + first * Units;
        if (Writer.UnitSymbols[first] == NoSymbol) {
            std::memset(out, 0, Units);
            continue;
        }
        const std::uint8_t* const row = table.Pairs + Writer.UnitRows[first];
        // The ASCII symbols are the first ones of every table.
        std::memcpy(out, row, AsciiSymbols);
        // Reading 4 bytes at a cost stays in the table but in its last row.
        CostSums::GatherBytes(row, highSymbols.data(), out + AsciiSymbols, Writer.UnitSymbols[first] + 1u < table.Size);
    }
    Writer.UnitPairs = std::move(costs);
}

std::uint32_t TEightBitReadings::OddAfterSmalls(const TEncoding& Encoding) const
{
    std::uint32_t odd = 0;
    const THighBytes afterSmallAscii = AfterSmallAsciiSet & Encoding.NotAfterSmalls;
    for (std::size_t b = afterSmallAscii._Find_first(); b < HighBytes; b = afterSmallAscii._Find_next(b))
        odd += AfterSmallAscii[0x80 + b];
    // Of the pairs past 0x7F, only those whose second byte is one of them here.
    const THighBytes seconds = HighHighSeconds & Encoding.NotAfterSmalls;
    for (std::size_t b = seconds._Find_first(); b < HighBytes; b = seconds._Find_next(b))
        for (std::size_t i = HighHighStarts[b]; i < HighHighStarts[b + 1]; ++i)
            if (Encoding.Smalls[HighHighPairs[i].First - AsciiSymbols])
                odd += HighHighPairs[i].Count;
    return odd;
}

std::size_t TEightBitReadings::CountAlike(const TEncoding& Encoding) const
{
    return static_cast<std::size_t>(std::count_if(Encoding.DiffersFrom.begin(), Encoding.DiffersFrom.end(),
                                                   [&](const THighBytes& differs) { return (differs & HighSet).none(); }));
}
