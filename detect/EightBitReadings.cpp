#include "detect/EightBitReadings.h"

#include "detect/DetectionLibraries.h"
#include "engine/Lumiva.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Readings and languages whose costs are worked out in full: the likeliest by single letters.
constexpr std::size_t ReadingsWeighed = 10;
constexpr std::size_t LanguagesPerReading = 2;
// What a capital past ASCII costs, in nats, straight after a small letter: the language tables
// fold case, and "cafÈ" or "MÜnchen" is how a wrong code page reads "café" or "München".
// On the tuning half (bench/detect_corpus.py --half tuning) 3 to 10 nats gave the same answers.
constexpr double OddCapitalCost = 5.0;

std::uint8_t AsciiSymbol(unsigned char Byte)
{
    if (Byte >= 'a' && Byte <= 'z')
        return static_cast<std::uint8_t>(LanguageTables::FirstLetter + (Byte - 'a'));
    if (Byte >= 'A' && Byte <= 'Z')
        return static_cast<std::uint8_t>(LanguageTables::FirstLetter + (Byte - 'A'));
    if (Byte >= '0' && Byte <= '9')
        return LanguageTables::Digit;
    return LanguageTables::Boundary;
}

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

// Each byte alone through the engine: the 8-bit encodings keep no state between bytes.
std::array<char32_t, 256> DecodeBytes(TLumiva& Engine, const std::string& Name, char32_t Undecodable)
{
    std::array<char32_t, 256> characters;
    characters.fill(Undecodable);
    try {
        Engine.Start(Name, "UTF-32LE", 0);
    } catch (const TLumiva::EStartError&) {
        return characters;
    }
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const char* in = &byte;
        std::size_t inLeft = 1;
        unsigned char out[8];
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        if (Engine.Convert(&in, &inLeft, &outPtr, &outLeft) == 0 && inLeft == 0 && outLeft == 4)
            characters[b] = static_cast<char32_t>(out[0]) | static_cast<char32_t>(out[1]) << 8 |
                            static_cast<char32_t>(out[2]) << 16 | static_cast<char32_t>(out[3]) << 24;
    }
    Engine.Close();
    return characters;
}

} // namespace

TEightBitReadings::TEightBitReadings(TLumiva& Engine) : PairCounts(256 * 256, 0)
{
    for (const LanguageTables::TEncodingLanguages& entry : LanguageTables::Encodings()) {
        TEncoding encoding{std::string(entry.Encoding), DecodeBytes(Engine, std::string(entry.Encoding), Undecodable), {}, {}};
        for (unsigned b = 0; b < 256; ++b)
            encoding.Signs[b] = encoding.Characters[b] != Undecodable && encoding.Characters[b] >= 0x80 &&
                                IsSign(encoding.Characters[b]);
        // The pairs of ASCII bytes are counted once for all encodings: each must read them as ASCII.
        bool ascii = true;
        for (unsigned b = 0; b < 0x80; ++b)
            ascii = ascii && encoding.Characters[b] == static_cast<char32_t>(b);
        if (!ascii)
            continue; // or the engine does not know it
        for (const LanguageTables::TLanguageTable& table : LanguageTables::Languages()) {
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
            TWriter writer{&table, {}, {}, {}};
            for (unsigned b = 0; b < 256; ++b) {
                const char32_t c = encoding.Characters[b];
                writer.Symbols[b] = c == Undecodable ? NoSymbol
                                    : c < 0x80       ? AsciiSymbol(static_cast<unsigned char>(c))
                                                     : LanguageTables::SymbolOf(table, c, IsSign(c));
                const bool stranger = writer.Symbols[b] == LanguageTables::Other || writer.Symbols[b] == LanguageTables::Sign;
                writer.Strangers[b] = stranger ? LanguageTables::StrangerCost(table, c) : 0;
                writer.Singles[b] = c == Undecodable ? 0 : static_cast<std::uint16_t>(table.Singles[writer.Symbols[b]] + writer.Strangers[b]);
            }
            encoding.Writers.push_back(writer);
        }
        if (!encoding.Writers.empty())
            Encodings.push_back(std::move(encoding));
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

std::vector<TEightBitReadings::TReading> TEightBitReadings::Read(std::string_view Sample)
{
    Sample = Sample.substr(0, StatisticsLimit);
    ByteCounts.fill(0);
    AsciiPairCounts.fill(0);
    for (const std::uint16_t pair : Pairs)
        PairCounts[pair] = 0;
    Pairs.clear();
    CharacterCount = Sample.size();
    // The text starts after a boundary, as each text of the tables did.
    unsigned previous = ' ';
    for (const char c : Sample) {
        const auto b = static_cast<unsigned char>(c);
        ++ByteCounts[b];
        if (((previous | b) & 0x80) != 0) {
            const auto key = static_cast<std::uint16_t>(previous << 8 | b);
            if (PairCounts[key]++ == 0)
                Pairs.push_back(key);
        } else {
            ++AsciiPairCounts[AsciiSymbol(static_cast<unsigned char>(previous)) * AsciiSymbols + AsciiSymbol(b)];
        }
        previous = b;
    }
    std::vector<unsigned> highBytes;
    for (unsigned b = 0x80; b < 256; ++b)
        if (ByteCounts[b] > 0)
            highBytes.push_back(b);

    // Distinct readings: an encoding that decodes every byte of the sample as an earlier one
    // does joins it, with the languages written in it.
    struct TGroup {
        const TEncoding* Named;
        std::vector<const TWriter*> Writers;
        std::uint64_t Cost = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t HighCost = 0;
        const TWriter* Best = nullptr;
    };
    std::vector<TGroup> groups;
    std::vector<std::uint64_t> prints; // of each group's characters, to find a group fast
    SignsOnly = false;
    for (const TEncoding& encoding : Encodings) {
        bool decodes = true;
        bool signs = !highBytes.empty();
        std::uint64_t print = 14695981039346656037ull;
        for (const unsigned b : highBytes) {
            decodes = decodes && encoding.Characters[b] != Undecodable;
            signs = signs && encoding.Signs[b];
            print = (print ^ encoding.Characters[b]) * 1099511628211ull;
        }
        if (!decodes)
            continue;
        SignsOnly = SignsOnly || signs;
        auto same = groups.begin();
        for (; same != groups.end(); ++same)
            if (prints[static_cast<std::size_t>(same - groups.begin())] == print &&
                std::all_of(highBytes.begin(), highBytes.end(),
                            [&](unsigned b) { return same->Named->Characters[b] == encoding.Characters[b]; }))
                break;
        if (same == groups.end()) {
            groups.push_back({&encoding, {}});
            prints.push_back(print);
            same = groups.end() - 1;
        }
        for (const TWriter& writer : encoding.Writers)
            if (std::none_of(same->Writers.begin(), same->Writers.end(),
                             [&](const TWriter* w) { return w->Table == writer.Table; }))
                same->Writers.push_back(&writer);
    }

    // The ASCII pairs cost the same in every reading: once per language.
    std::vector<std::pair<std::uint16_t, std::uint32_t>> asciiPairs;
    for (std::size_t i = 0; i < AsciiPairCounts.size(); ++i)
        if (AsciiPairCounts[i] != 0)
            asciiPairs.emplace_back(static_cast<std::uint16_t>(i), AsciiPairCounts[i]);
    // Whole costs in 1/CostScale nat, in integers, so that the loops keep them in registers.
    std::vector<std::pair<const LanguageTables::TLanguageTable*, std::uint64_t>> asciiCosts;
    auto asciiCost = [&](const LanguageTables::TLanguageTable* table) {
        for (const auto& [t, cost] : asciiCosts)
            if (t == table)
                return cost;
        std::uint64_t cost = 0;
        for (const auto& [pair, count] : asciiPairs)
            cost += std::uint64_t{count} * table->Pairs[pair / AsciiSymbols * table->Size + pair % AsciiSymbols];
        asciiCosts.emplace_back(table, cost);
        return cost;
    };
    auto highPairCost = [&](const TWriter& writer) {
        std::uint64_t cost = 0;
        for (const unsigned b : highBytes)
            cost += std::uint64_t{ByteCounts[b]} * writer.Strangers[b];
        const std::size_t size = writer.Table->Size;
        for (const std::uint16_t pair : Pairs)
            cost += std::uint64_t{PairCounts[pair]} *
                    writer.Table->Pairs[writer.Symbols[pair >> 8] * size + writer.Symbols[pair & 0xFF]];
        return cost;
    };

    // First by single letters, which is cheap; then the likeliest in full.
    struct TRough {
        TGroup* Group;
        const TWriter* Writer;
        std::uint64_t Cost;
    };
    std::vector<TRough> rough;
    for (TGroup& group : groups) {
        std::vector<TRough> own;
        for (const TWriter* writer : group.Writers) {
            std::uint64_t cost = asciiCost(writer->Table);
            for (const unsigned b : highBytes)
                cost += std::uint64_t{ByteCounts[b]} * writer->Singles[b];
            own.push_back({&group, writer, cost});
        }
        std::sort(own.begin(), own.end(), [](const TRough& a, const TRough& b) { return a.Cost < b.Cost; });
        rough.insert(rough.end(), own.begin(), own.begin() + static_cast<std::ptrdiff_t>(std::min(own.size(), LanguagesPerReading)));
    }
    std::stable_sort(rough.begin(), rough.end(), [](const TRough& a, const TRough& b) { return a.Cost < b.Cost; });
    std::size_t weighedGroups = 0;
    for (const TRough& r : rough) {
        if (r.Group->Best == nullptr && ++weighedGroups > ReadingsWeighed)
            continue;
        const std::uint64_t high = highPairCost(*r.Writer);
        const std::uint64_t cost = asciiCost(r.Writer->Table) + high;
        if (cost < r.Group->Cost) {
            r.Group->Cost = cost;
            r.Group->HighCost = high;
            r.Group->Best = r.Writer;
        }
    }

    const double nats = 1.0 / LanguageTables::CostScale();
    std::vector<TReading> readings;
    for (const TGroup& group : groups)
        if (group.Best != nullptr)
            readings.push_back({group.Named->Name, group.Best->Table->Name, static_cast<double>(group.Cost) * nats,
                                static_cast<double>(group.HighCost) * nats, group.Best->Table->Typical * nats,
                                OnlyForeignLetters(*group.Named, *group.Best, highBytes)});
    WeighOddCapitals(Sample, readings);
    CountAlike(readings);
    std::stable_sort(readings.begin(), readings.end(),
                     [](const TReading& a, const TReading& b) { return a.Cost < b.Cost; });
    return readings;
}

void TEightBitReadings::WeighOddCapitals(std::string_view Sample, std::vector<TReading>& Readings)
{
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
    std::vector<unsigned> highBytes;
    for (unsigned b = 0x80; b < 256; ++b)
        if (ByteCounts[b] > 0)
            highBytes.push_back(b);
    for (TReading& reading : Readings) {
        const auto named = std::find_if(Encodings.begin(), Encodings.end(),
                                        [&](const TEncoding& e) { return e.Name == reading.Encoding; });
        if (named == Encodings.end())
            continue;
        reading.Alike = static_cast<std::size_t>(std::count_if(Encodings.begin(), Encodings.end(), [&](const TEncoding& e) {
            return std::all_of(highBytes.begin(), highBytes.end(),
                               [&](unsigned b) { return e.Characters[b] == named->Characters[b]; });
        }));
    }
}
