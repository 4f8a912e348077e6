#include "detect/EncodingDetector.h"

#include "detect/CandidateNames.h"
#include "detect/LibraryGuesses.h"
#include "detect/TextPlausibility.h"
#include "detect/UnicodeLayout.h"
#include "engine/Lumiva.h"
#include "util/Exception.h"
#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest character or escape sequence that a cut at the sample's end may split.
constexpr std::size_t LongestSequence = 8;

// At most one odd sign in this many non-ASCII characters, or no decoding is believed.
constexpr std::size_t NonAsciiPerOddSign = 8;

} // namespace

TEncodingDetector::TEncodingDetector(TLumiva& Converter, std::string LocaleName)
    : Converter(Converter), Preferred(CandidateNames::LocalePreferences(LocaleName)),
      Buffer(std::make_unique<char[]>(SampleLimit + 1))
{
}

std::string TEncodingDetector::DetectFile(const std::string& FileName)
{
    // Non-blocking only so that a named pipe cannot hang the open.
    const TFd fd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Exception("Cannot open source file");
    // One byte past the limit tells a whole file of SampleLimit bytes from a longer one.
    char* const sample = Buffer.get();
    const std::size_t room = SampleLimit + 1;
    std::size_t held = 0;
    while (held < room) {
        const ssize_t n = ::read(fd.Get(), sample + held, room - held);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            throw Exception("Cannot read from source file");
        if (n == 0)
            break;
        held += static_cast<std::size_t>(n);
    }
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
    const std::string wide = UnicodeLayout::ZeroBytePattern(Sample);
    if (!wide.empty())
        return AcceptUnicode(wide, Sample, Complete);
    // Zero bytes without a clear pattern: UTF-16 with few Latin characters, or data. Of the two
    // byte orders, the one that alone reads as text is taken.
    if (Sample.find('\0') != std::string_view::npos) {
        const std::string little = AcceptUnicode("UTF-16LE", Sample, Complete);
        const std::string big = AcceptUnicode("UTF-16BE", Sample, Complete);
        return little.empty() != big.empty() ? little + big : std::string();
    }
    if (UnicodeLayout::HasBinaryControls(Sample))
        return {};
    switch (UnicodeLayout::CheckUtf8(Sample, Complete)) {
    case UnicodeLayout::TUtf8::Ascii:
        // An escape may start ISO-2022's shifts: the libraries know those.
        if (Sample.find('\x1B') == std::string_view::npos)
            return ListName("ASCII");
        break;
    case UnicodeLayout::TUtf8::Utf8:
        return ListName("UTF-8");
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
    const TPlausibility rate = RatePlausibility(text);
    if (rate.Binary || rate.Odd * NonAsciiPerOddSign > rate.NonAscii)
        return {};
    LastGuesses.push_back({name, 1.0});
    return name;
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

std::string TEncodingDetector::ListName(const std::string& Name) const
{
    std::size_t index = 0;
    const TStringList& names = Converter.NameList();
    return names.Find(Name, &index) ? names[index] : std::string();
}

// uchardet first: when its proposal (or a look-alike) is the one plausible reading, ICU, which
// costs as much again, is not asked.
std::string TEncodingDetector::DetectLegacy(std::string_view Sample, bool Complete)
{
    std::vector<std::string> proposals;
    if (const std::string guess = GuessWithUchardet(Sample); !guess.empty()) {
        proposals.push_back(CandidateNames::WindowsName(guess));
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
    for (const TCandidate* answer : answers)
        LastGuesses.push_back({answer->Name, 1.0 / (1.0 + static_cast<double>(answer->Odd))});
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
