#include "detect/EncodingDetector.h"

#include "detect/CandidateNames.h"
#include "detect/EightBitReadings.h"
#include "detect/LibraryGuesses.h"
#include "detect/TextPlausibility.h"
#include "detect/UnicodeLayout.h"
#include "engine/Lumiva.h"
#include "util/Exception.h"
#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest character or escape sequence that a cut at the sample's end may split.
constexpr std::size_t LongestSequence = 8;

// At most one odd sign in this many non-ASCII characters, or no decoding is believed.
constexpr std::size_t NonAsciiPerOddSign = 8;

// An 8-bit reading whose characters cost more than this, in nats on average, over what they cost
// in the language's own texts, is no text in that language (random bytes past 0x7F cost about one
// nat more).
constexpr double MostExcessCost = 0.6;
// A short sample's few words may cost more than the language's average: a sentence of 40
// characters with a word or two the tables never saw is still text in that language.
constexpr double ShortSampleSlack = 10.0;
// Readings' scores: exp(-cost / Temperature), normalised over the readings. The temperature
// tempers the language model's certainty, which counts every pair as if it were independent
// evidence. Chosen with the threshold below on the tuning half (bench/detect_corpus.py --fit): of
// the readings scored 0.9 or more there, 99.5 % were right.
constexpr double Temperature = 2.0;
// An answer needs this score; below it the readings are too close to tell. On seven draws of
// excerpts from the tuning half (--fit --seed 11 to 17, 8,016 texts) every reading scored 0.7 to
// 0.9 was right, and of those scored 0.6 to 0.7 one in seven was wrong.
constexpr double LeastScore = 0.7;

// How likely a decoding by the libraries' proposals is against the others: each odd sign more
// than the fewest makes it NonAsciiPerOddSign times less likely (text has at most one in that
// many), and each library that proposed it twice as likely.
double OddSignsWeight(std::size_t ExtraOdd, int Votes)
{
    return std::pow(static_cast<double>(NonAsciiPerOddSign), -static_cast<double>(ExtraOdd)) * std::pow(2.0, Votes);
}

} // namespace

TEncodingDetector::TEncodingDetector(TLumiva& Converter, std::string LocaleName)
    : Converter(Converter), Preferred(CandidateNames::LocalePreferences(LocaleName))
{
}

TEncodingDetector::~TEncodingDetector() = default;

std::string TEncodingDetector::DetectFile(const std::string& FileName)
{
    struct stat st;
    const TFd fd = OpenRegularFile(FileName, st);
    if (fd.Get() < 0)
        throw Exception("Cannot open source file");
    // One byte past the limit tells a whole file of SampleLimit bytes from a longer one.
    if (!Buffer)
        Buffer = std::make_unique_for_overwrite<char[]>(SampleLimit + 1);
    char* const sample = Buffer.get();
    const ssize_t got = ReadUpTo(fd.Get(), sample, SampleLimit + 1);
    if (got < 0)
        throw Exception("Cannot read from source file");
    const std::size_t held = static_cast<std::size_t>(got);
    return Detect(std::string_view(sample, std::min(held, SampleLimit)), held <= SampleLimit);
}

std::string TEncodingDetector::Detect(std::string_view Sample, bool Complete)
{
    LastGuesses.clear();
    if (Sample.size() > SampleLimit) {
        Sample = Sample.substr(0, SampleLimit);
        Complete = false;
    }
    const std::string signature = UnicodeLayout::SignatureEncoding(Sample);
    if (!signature.empty())
        return AcceptUnicode(signature, Sample, Complete);
    // Controls that no text holds (zero bytes among them) and strict UTF-8, in one pass.
    const UnicodeLayout::TTextBytes bytes = UnicodeLayout::CheckText(Sample, Complete);
    if (bytes.Binary) {
        // Zero bytes: UTF-16 or UTF-32 by where they fall; without a clear pattern, UTF-16 with
        // few Latin characters, or data. Of the two byte orders, the one that alone reads as text
        // is taken. Other controls: data.
        if (Sample.find('\0') == std::string_view::npos)
            return {};
        const std::string wide = UnicodeLayout::ZeroBytePattern(Sample);
        if (!wide.empty())
            return AcceptUnicode(wide, Sample, Complete);
        const std::string little = AcceptUnicode("UTF-16LE", Sample, Complete);
        const std::string big = AcceptUnicode("UTF-16BE", Sample, Complete);
        return little.empty() != big.empty() ? little + big : std::string();
    }
    switch (bytes.Utf8) {
    case UnicodeLayout::TUtf8::Ascii:
        // An escape may start ISO-2022's shifts: the libraries know those.
        if (Sample.find('\x1B') == std::string_view::npos)
            return Certain(KnownName(AsciiName, "ASCII"));
        break;
    case UnicodeLayout::TUtf8::Utf8:
        return Certain(KnownName(Utf8Name, "UTF-8"));
    case UnicodeLayout::TUtf8::Invalid:
        break;
    }
    return DetectLegacy(Sample, Complete);
}

std::string TEncodingDetector::AcceptUnicode(const std::string& Name, std::string_view Sample, bool Complete)
{
    const std::string name = ListName(Name);
    std::u32string text;
    if (name.empty() || !Decode(name, Sample, Complete, text))
        return {};
    const TPlausibility rate = RatePlausibility(text, TDecodedFrom::Unicode);
    if (rate.Binary || rate.Odd * NonAsciiPerOddSign > rate.NonAscii)
        return {};
    return Certain(name);
}

std::string TEncodingDetector::Certain(const std::string& Name)
{
    if (!Name.empty())
        LastGuesses.push_back({Name, 1.0});
    return Name;
}

bool TEncodingDetector::Decode(const std::string& Name, std::string_view Sample, bool Complete,
                               std::u32string& Text)
{
    Text.assign(Sample.size() + 1, U'\0');
    try {
        Converter.Start(Name, "UTF-32LE", 0);
    } catch (const TLumiva::EStartError&) {
        return false;
    }
    const char* in = Sample.data();
    std::size_t inLeft = Sample.size();
    char* out = reinterpret_cast<char*>(Text.data());
    std::size_t outLeft = Text.size() * sizeof(char32_t);
    // Every byte gives at most one character; a stalling decoder is caught by the checks below.
    Converter.Convert(&in, &inLeft, &out, &outLeft);
    if (inLeft == 0)
        Converter.Convert(nullptr, nullptr, &out, &outLeft);
    Converter.Close();
    if (inLeft > 0 && (Complete || inLeft > LongestSequence))
        return false;
    Text.resize((Text.size() * sizeof(char32_t) - outLeft) / sizeof(char32_t));
    // The output is little-endian; the host may not be.
    for (char32_t& c : Text) {
        unsigned char b[4];
        std::memcpy(b, &c, 4);
        c = static_cast<char32_t>(b[0]) | static_cast<char32_t>(b[1]) << 8 | static_cast<char32_t>(b[2]) << 16 |
            static_cast<char32_t>(b[3]) << 24;
    }
    return true;
}

// Found without the engine's listing, which would have the C library load every converter
// module: a run of UTF-8 files should cost no more than its conversions. The names asked for are
// spelled as the listing spells them.
std::string TEncodingDetector::ListName(const std::string& Name) const
{
    return Converter.IsValidEncoding(Name) ? Name : std::string();
}

const std::string& TEncodingDetector::KnownName(std::optional<std::string>& Known, const char* Name)
{
    if (!Known)
        Known = ListName(Name);
    return *Known;
}

// The 8-bit readings by the language tables first. A sample whose bytes past 0x7F pair as in the
// double-byte encodings of East Asia is shown to uchardet, which tells those apart; ISO-2022's
// escapes and a sample that reads as no language of the tables go to both libraries.
std::string TEncodingDetector::DetectLegacy(std::string_view Sample, bool Complete)
{
    if (Sample.find('\x1B') != std::string_view::npos)
        return AskLibraries(Sample, Complete, {});
    if (!Readings)
        Readings = std::make_unique<TEightBitReadings>();
    const std::vector<TEightBitReadings::TReading> readings = Readings->Read(Sample);
    const bool language = !readings.empty() &&
                          readings.front().Cost <= (readings.front().Typical + MostExcessCost) *
                                                           static_cast<double>(Readings->Characters()) +
                                                       ShortSampleSlack;
    if (language && !UnicodeLayout::DoubleByteLayout(Sample, Complete))
        return ChooseReading(readings, Sample, Complete);
    const std::string guess = GuessWithUchardet(Sample);
    const std::string name = guess.empty() ? std::string() : CandidateNames::WindowsName(guess);
    if (language && !CandidateNames::IsMultibyte(name))
        return ChooseReading(readings, Sample, Complete);
    return AskLibraries(Sample, Complete, name);
}

std::string TEncodingDetector::ChooseReading(const std::vector<TEightBitReadings::TReading>& Readings,
                                             std::string_view Sample, bool Complete)
{
    // Every reading's encoding is one the engine started when the readings were made, so its
    // name is a listed one (asking the engine again for each costs more than the readings).
    double total = 0;
    for (const auto& reading : Readings) {
        // Every encoding of the tables is as likely beforehand: a reading that more of them give
        // is the likelier by as many ("café" reads alike in a dozen, "cafť" in one).
        const double weight = std::exp((Readings.front().Cost - reading.Cost) / Temperature) *
                              static_cast<double>(reading.Alike);
        LastGuesses.push_back({reading.Encoding, weight});
        total += weight;
    }
    if (LastGuesses.empty())
        return {};
    for (TEncodingGuess& guess : LastGuesses)
        guess.Score /= total;
    std::stable_sort(LastGuesses.begin(), LastGuesses.end(),
                     [](const TEncodingGuess& a, const TEncodingGuess& b) { return a.Score > b.Score; });
    // A text whose bytes past ASCII may all be signs (× and ½ in a DOS code page) is not told by a
    // reading whose only letters past ASCII are foreign to its language (ž in WINDOWS-1252), nor
    // by one whose letters all stand alone (• as Х in CP866, × and ÷ as Ś and ś in ISO-8859-16): the
    // letter's cost weighs a single character against a sign's, which says nothing of the language.
    const auto best = std::find_if(Readings.begin(), Readings.end(), [&](const TEightBitReadings::TReading& r) {
        return r.Encoding == LastGuesses.front().Name;
    });
    if (best != Readings.end() && this->Readings->SignsOnlyReading()) {
        std::u32string text;
        if (best->OnlyForeignLetters || (Decode(best->Encoding, Sample, Complete, text) && OnlyLoneLetters(text)))
            return {};
    }
    return LastGuesses.front().Score >= LeastScore ? LastGuesses.front().Name : std::string();
}

// uchardet's proposal first (Proposal, when it was asked already): when it (or a look-alike) is
// the one plausible reading, ICU, which costs as much again, is not asked.
std::string TEncodingDetector::AskLibraries(std::string_view Sample, bool Complete, std::optional<std::string> Proposal)
{
    std::vector<std::string> proposals;
    if (!Proposal)
        if (const std::string guess = GuessWithUchardet(Sample); !guess.empty())
            Proposal = CandidateNames::WindowsName(guess);
    if (Proposal && !Proposal->empty()) {
        proposals.push_back(*Proposal);
        bool clear = false;
        const std::string answer = Weigh(proposals, Sample, Complete, clear);
        if (clear)
            return answer;
    }
    if (const std::string guess = GuessWithIcu(Sample); !guess.empty())
        proposals.push_back(CandidateNames::WindowsName(guess));
    bool clear = false;
    return proposals.empty() ? std::string() : Weigh(proposals, Sample, Complete, clear);
}

std::string TEncodingDetector::Weigh(const std::vector<std::string>& Proposals, std::string_view Sample,
                                     bool Complete, bool& Clear)
{
    std::vector<TCandidate> candidates;
    for (const std::string& proposal : Proposals) {
        for (const std::string& alike : CandidateNames::WithLookAlikes(proposal)) {
            const std::string name = ListName(alike);
            if (name.empty() || std::any_of(candidates.begin(), candidates.end(),
                                            [&](const TCandidate& c) { return c.Name == name; }))
                continue;
            TCandidate candidate{name, {}, 0, 0};
            if (!Decode(name, Sample, Complete, candidate.Text))
                continue;
            const TPlausibility rate = RatePlausibility(candidate.Text);
            if (rate.Binary || rate.Odd * NonAsciiPerOddSign > rate.NonAscii)
                continue;
            candidate.Odd = rate.Odd;
            for (const std::string& p : Proposals)
                if (SameText(p, name))
                    ++candidate.Votes;
            candidates.push_back(std::move(candidate));
        }
    }
    if (candidates.empty())
        return {};

    // Candidates that decode to the same text are one answer: the first named stands for it and
    // holds the votes of all.
    std::vector<TCandidate*> answers;
    for (TCandidate& candidate : candidates) {
        auto same = std::find_if(answers.begin(), answers.end(),
                                 [&](const TCandidate* a) { return a->Text == candidate.Text; });
        if (same == answers.end())
            answers.push_back(&candidate);
        else
            (*same)->Votes += candidate.Votes;
    }
    std::size_t fewest = std::numeric_limits<std::size_t>::max();
    for (const TCandidate* answer : answers)
        fewest = std::min(fewest, answer->Odd);
    LastGuesses.clear();
    double total = 0;
    for (const TCandidate* answer : answers) {
        const double weight = OddSignsWeight(answer->Odd - fewest, answer->Votes);
        LastGuesses.push_back({answer->Name, weight});
        total += weight;
    }
    for (TEncodingGuess& guess : LastGuesses)
        guess.Score /= total;
    std::stable_sort(LastGuesses.begin(), LastGuesses.end(),
                     [](const TEncodingGuess& a, const TEncodingGuess& b) { return a.Score > b.Score; });
    // A lesser sign or two more is no evidence against a text (a stray accent, a rare letter that
    // one code page has): such answers are tied, and the libraries or the locale decide.
    const std::size_t tolerance = std::max<std::size_t>(1, fewest / 4);
    std::vector<const TCandidate*> tied;
    for (const TCandidate* answer : answers)
        if (answer->Odd <= fewest + tolerance)
            tied.push_back(answer);
    // Clear: one reading without a single odd sign, and every proposal made for it.
    Clear = answers.size() == 1 && tied.front()->Odd == 0 &&
            tied.front()->Votes >= static_cast<int>(Proposals.size());
    const std::string answer = tied.size() == 1 ? tied.front()->Name : BreakTie(tied, static_cast<int>(Proposals.size()));
    const auto chosen = std::find_if(LastGuesses.begin(), LastGuesses.end(),
                                     [&](const TEncodingGuess& g) { return g.Name == answer; });
    if (chosen != LastGuesses.end())
        std::rotate(LastGuesses.begin(), chosen, chosen + 1);
    return answer;
}

// Equally plausible decodings that differ: the libraries' own statistics decide when they
// agree on one, then the locale; otherwise nothing tells them apart.
std::string TEncodingDetector::BreakTie(const std::vector<const TCandidate*>& Tied, int Proposals) const
{
    // Only a proposal that every library made: one library against the other is no decision.
    for (const TCandidate* candidate : Tied)
        if (candidate->Votes >= Proposals)
            return candidate->Name;
    for (const std::string& preferred : Preferred)
        for (const TCandidate* candidate : Tied)
            if (SameText(candidate->Name, preferred))
                return candidate->Name;
    return {};
}
