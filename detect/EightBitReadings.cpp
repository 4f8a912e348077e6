#include "detect/EightBitReadings.h"

#include "detect/DetectionLibraries.h"
#include "engine/Lumiva.h"

#include <algorithm>
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

// One character of the engine's UTF-8: its code point, or Undecodable for none or more than one.
char32_t OneCharacter(const unsigned char* Text, std::size_t Size, char32_t Undecodable)
{
    if (Size == 0)
        return Undecodable;
    const unsigned lead = Text[0];
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (Size != length)
        return Undecodable;
    char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = code << 6 | (Text[i] & 0x3Fu);
    return code;
}

// Each byte alone through the engine: the 8-bit encodings keep no state between bytes. Into
// UTF-8, which the C library converts without loading a module for it.
std::array<char32_t, 256> DecodeBytes(TLumiva& Converter, const std::string& Name, char32_t Undecodable)
{
    std::array<char32_t, 256> characters;
    characters.fill(Undecodable);
    try {
        Converter.Start(Name, "UTF-8", 0);
    } catch (const TLumiva::EStartError&) {
        return characters;
    }
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const char* in = &byte;
        std::size_t inLeft = 1;
        unsigned char out[16];
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        if (Converter.Convert(&in, &inLeft, &outPtr, &outLeft) == 0 && inLeft == 0)
            characters[b] = OneCharacter(out, sizeof out - outLeft, Undecodable);
    }
    Converter.Close();
    return characters;
}

} // namespace

TEightBitReadings::TEightBitReadings(TLumiva& Converter)
    : TableCount(LanguageTables::Languages().size()), PairCounts(Units * Units, 0), PairsSeen(StatisticsLimit),
      AsciiCosts(TableCount)
{
    const std::span<const LanguageTables::TLanguageTable> tables = LanguageTables::Languages();
    for (const LanguageTables::TLanguageTable& table : tables) {
        TAsciiPairs& costs = AsciiPairCosts.emplace_back();
        costs.fill(0);
        for (std::size_t first = 0; first < AsciiSymbols; ++first)
            for (std::size_t second = 0; second < AsciiSymbols; ++second)
                costs[first * AsciiRow + second] = table.Pairs[first * table.Size + second];
    }
    for (const LanguageTables::TEncodingLanguages& entry : LanguageTables::Encodings()) {
        TEncoding encoding{std::string(entry.Encoding), DecodeBytes(Converter, std::string(entry.Encoding), Undecodable), {}, {}, {}, {}, {}};
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
            TWriter writer{&table, t, {}, {}, {}, {}, {}};
            for (unsigned b = 0; b < 256; ++b) {
                const char32_t c = encoding.Characters[b];
                writer.Symbols[b] = c == Undecodable ? NoSymbol
                                    : c < 0x80       ? AsciiSymbol(static_cast<unsigned char>(c))
                                                     : LanguageTables::SymbolOf(table, c, encoding.Signs[b]);
                const bool stranger = writer.Symbols[b] == LanguageTables::Other || writer.Symbols[b] == LanguageTables::Sign;
                writer.Strangers[b] = stranger ? LanguageTables::StrangerCost(table, c) : 0;
                if (b >= 0x80)
                    writer.Singles[b - 0x80] =
                        c == Undecodable ? 0 : static_cast<std::int16_t>(table.Singles[writer.Symbols[b]] + writer.Strangers[b]);
            }
            for (std::size_t u = 0; u < Units; ++u) {
                writer.UnitSymbols[u] = u < AsciiSymbols ? static_cast<std::uint8_t>(u) : writer.Symbols[0x80 + u - AsciiSymbols];
                // Undecodable bytes never reach the pair costs: their encoding reads no sample.
                writer.UnitRows[u] = writer.UnitSymbols[u] == NoSymbol ? 0 : static_cast<std::uint16_t>(writer.UnitSymbols[u] * table.Size);
            }
            encoding.Writers.push_back(writer);
        }
        if (encoding.Writers.empty())
            continue;
        for (unsigned b = 0x80; b < 256; ++b) {
            encoding.Undecodable[b - 0x80] = encoding.Characters[b] == Undecodable;
            encoding.NotSigns[b - 0x80] = !encoding.Signs[b];
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
    // The text starts after a boundary, as each text of the tables did. Each pair of units is
    // noted at its first position, without a branch: one taken for every new pair costs more than
    // the counting.
    std::size_t previous = LanguageTables::Boundary;
    std::size_t distinct = 0;
    for (const char c : Sample) {
        const std::size_t unit = UnitsOfBytes[static_cast<unsigned char>(c)];
        const auto pair = static_cast<std::uint16_t>(previous * Units + unit);
        PairsSeen[distinct] = pair;
        distinct += PairCounts[pair]++ == 0;
        previous = unit;
    }
    // Every byte is the second of a pair.
    HighCounts.fill(0);
    AsciiPairCounts.fill(0);
    HighPairs.clear();
    for (std::size_t i = 0; i < distinct; ++i) {
        const std::uint16_t pair = PairsSeen[i];
        const TUnitPair unitPair{static_cast<std::uint8_t>(pair / Units), static_cast<std::uint8_t>(pair % Units),
                                 PairCounts[pair]};
        PairCounts[pair] = 0; // for the next sample
        if (unitPair.Second >= AsciiSymbols) {
            std::int16_t& count = HighCounts[unitPair.Second - AsciiSymbols];
            count = static_cast<std::int16_t>(count + unitPair.Count);
        }
        if (unitPair.First < AsciiSymbols && unitPair.Second < AsciiSymbols)
            AsciiPairCounts[unitPair.First * AsciiRow + unitPair.Second] = static_cast<std::int16_t>(unitPair.Count);
        else
            HighPairs.push_back(unitPair);
    }
    HighBytesSeen.clear();
    HighSet.reset();
    for (unsigned b = 0x80; b < 256; ++b) {
        if (HighCounts[b - 0x80] > 0) {
            HighBytesSeen.push_back(b);
            HighSet.set(b - 0x80);
        }
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
            group.HasTable.assign(TableCount, false);
            group.Cost = std::numeric_limits<std::uint64_t>::max();
            group.HighCost = 0;
            group.Best = nullptr;
            group.Quoted = nullptr;
        }
        TGroup& group = Groups[same];
        for (const TWriter& writer : encoding.Writers)
            if (!group.HasTable[writer.TableIndex]) {
                group.HasTable[writer.TableIndex] = true;
                group.Writers.push_back(&writer);
            }
    }
}

// Whole costs are in 1/CostScale nat, in integers: sums in any order are the same sums.
std::uint64_t TEightBitReadings::AsciiCost(const TWriter& Writer)
{
    std::uint64_t& known = AsciiCosts[Writer.TableIndex];
    if (known == std::numeric_limits<std::uint64_t>::max()) {
        // The pairs of ASCII letters cost the same in every reading: once per language.
        // A dot product of 16-bit numbers, as for the single letters.
        const TAsciiPairs& costs = AsciiPairCosts[Writer.TableIndex];
        std::int32_t cost = 0;
        for (std::size_t i = 0; i < costs.size(); ++i)
            cost += std::int32_t{AsciiPairCounts[i]} * std::int32_t{costs[i]};
        known = static_cast<std::uint64_t>(cost);
    }
    return known;
}

std::uint64_t TEightBitReadings::SingleCost(const TWriter& Writer) const
{
    // No byte is counted more than StatisticsLimit times and no single costs more than two bytes'
    // worth, so 32 bits hold the sum; a dot product of 16-bit numbers is what processors do fast.
    std::int32_t cost = 0;
    for (std::size_t i = 0; i < HighBytes; ++i)
        cost += std::int32_t{HighCounts[i]} * std::int32_t{Writer.Singles[i]};
    return static_cast<std::uint64_t>(cost);
}

std::uint64_t TEightBitReadings::HighPairCost(const TWriter& Writer) const
{
    std::uint64_t cost = 0;
    for (const unsigned b : HighBytesSeen)
        cost += std::uint64_t(HighCounts[b - 0x80]) * Writer.Strangers[b];
    const std::uint8_t* const pairs = Writer.Table->Pairs;
    for (const TUnitPair& pair : HighPairs)
        cost += std::uint64_t{pair.Count} * pairs[Writer.UnitRows[pair.First] + Writer.UnitSymbols[pair.Second]];
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
        for (const TWriter* writer : group.Writers)
            OwnRough.push_back({&group, writer, AsciiCost(*writer) + SingleCost(*writer), 0});
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
        const std::uint64_t high = HighPairCost(*r.Writer);
        const std::uint64_t cost = AsciiCost(*r.Writer) + high;
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
        if (group.Best != nullptr)
            readings.push_back({group.Named->Name, group.Best->Table->Name, static_cast<double>(group.Cost) * nats,
                                static_cast<double>(group.HighCost) * nats, group.Best->Table->Typical * nats,
                                OnlyForeignLetters(*group.Named, group.Quoted != nullptr ? *group.Quoted : *group.Best,
                                                   HighBytesSeen)});
    }
    WeighOddCapitals(Sample, readings);
    CountAlike(readings);
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
    for (const TUnitPair& pair : HighPairs)
        pairs += pair.Count;
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
            const std::uint64_t own = HighPairCost(*quoted);
            const double most = (quoted->Table->Typical + QuotedExcessCost * LanguageTables::CostScale()) *
                                static_cast<double>(pairs);
            if (!itself && static_cast<double>(own) > most)
                continue;
            const std::uint64_t high = own + (itself ? 0 : Allowance);
            if (AsciiCost(*words) + high < group.Cost) {
                group.Cost = AsciiCost(*words) + high;
                group.HighCost = high;
                group.Quoted = itself ? nullptr : quoted;
                if (itself || group.Best == nullptr)
                    group.Best = words;
            }
        }
    }
}

void TEightBitReadings::WeighOddCapitals(std::string_view Sample, std::vector<TReading>& Readings)
{
    Sample = Sample.substr(0, StatisticsLimit);
    for (const std::uint16_t cell : AfterSeen)
        AfterCounts[cell] = 0;
    AfterSeen.clear();
    unsigned previous = ' ';
    for (const char c : Sample) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && (previous >= 0x80 || (previous >= 'a' && previous <= 'z'))) {
            const auto cell = static_cast<std::uint16_t>((previous >= 0x80 ? previous - 0x7F : 0) * 128 + (b - 0x80));
            if (AfterCounts[cell]++ == 0)
                AfterSeen.push_back(cell);
        }
        previous = b;
    }
    if (AfterSeen.empty())
        return;
    for (TReading& reading : Readings) {
        auto cases = LetterCases.find(reading.Encoding);
        if (cases == LetterCases.end()) {
            const auto encoding = std::find_if(Encodings.begin(), Encodings.end(),
                                               [&](const TEncoding& e) { return e.Name == reading.Encoding; });
            std::array<std::uint8_t, 256> table{};
            for (unsigned b = 0; encoding != Encodings.end() && b < 256; ++b) {
                const char32_t code = encoding->Characters[b];
                const auto type = code == Undecodable ? 0 : DetectionLibraries().CharType(static_cast<UChar32>(code));
                table[b] = type == U_LOWERCASE_LETTER ? 1 : type == U_UPPERCASE_LETTER ? 2 : 0;
            }
            cases = LetterCases.emplace(reading.Encoding, table).first;
        }
        std::uint32_t odd = 0;
        for (const std::uint16_t cell : AfterSeen) {
            const unsigned row = cell / 128;
            const bool afterSmall = row == 0 || cases->second[row + 0x7F] == 1;
            if (afterSmall && cases->second[0x80 + cell % 128] == 2)
                odd += AfterCounts[cell];
        }
        reading.Cost += odd * OddCapitalCost;
        reading.HighCost += odd * OddCapitalCost;
    }
}

void TEightBitReadings::CountAlike(std::vector<TReading>& Readings) const
{
    for (TReading& reading : Readings) {
        const auto named = std::find_if(Encodings.begin(), Encodings.end(),
                                        [&](const TEncoding& e) { return e.Name == reading.Encoding; });
        if (named == Encodings.end())
            continue;
        reading.Alike = static_cast<std::size_t>(std::count_if(
            named->DiffersFrom.begin(), named->DiffersFrom.end(), [&](const THighBytes& differs) { return (differs & HighSet).none(); }));
    }
}
