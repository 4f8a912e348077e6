#pragma once

#include "detect/EightBitReadings.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TLumiva;

// One reading of a sample and how sure the detector is of it, from 0 to 1.
struct TEncodingGuess {
    std::string Name;
    double Score = 0;
};

// Tells the encoding of a text from its first bytes: signatures, the zero bytes of UTF-16 and
// UTF-32, strict UTF-8, then the 8-bit readings weighed by the language tables; a text that reads
// as no language there goes to what uchardet and ICU propose, each proposal decoded by the engine.
// Answers a name from the engine's list, or nothing when it cannot tell with confidence: a wrong
// answer damages a file silently, a refusal is one line in the log.
class TEncodingDetector {
public:
    // Detection looks at no more than this many bytes of a file.
    static constexpr std::size_t SampleLimit = 64 * 1024;

    // Converter decodes the candidates (one conversion at a time, so not during another's); its
    // name list must outlive the detector. LocaleName ("ru_RU.UTF-8") breaks ties between
    // equally good candidates.
    TEncodingDetector(TLumiva& Converter, std::string LocaleName);
    ~TEncodingDetector();

    // Complete: Sample is the whole text, not a prefix cut at SampleLimit.
    std::string Detect(std::string_view Sample, bool Complete);
    // Reads at most SampleLimit bytes of the file; raises Exception when it cannot be read.
    std::string DetectFile(const std::string& FileName);
    // The readings the last Detect weighed, best first: its answer (when it gave one) and the
    // runners-up. Empty when nothing read as text.
    const std::vector<TEncodingGuess>& Guesses() const { return LastGuesses; }

private:
    struct TCandidate {
        std::string Name;
        std::u32string Text;
        std::size_t Odd = 0;
        int Votes = 0;
    };

    bool Decode(const std::string& Name, std::string_view Sample, bool Complete, std::u32string& Text);
    // A Unicode form found by its bytes, taken only when it decodes to text.
    std::string AcceptUnicode(const std::string& Name, std::string_view Sample, bool Complete);
    // Name as the one reading, with no runner-up.
    std::string Certain(const std::string& Name);
    std::string DetectLegacy(std::string_view Sample, bool Complete);
    std::string ChooseReading(const std::vector<TEightBitReadings::TReading>& Readings, std::string_view Sample,
                              bool Complete);
    std::string AskLibraries(std::string_view Sample, bool Complete, std::optional<std::string> Proposal);
    // Decodes the proposals and their look-alikes and picks the most plausible reading; Clear
    // tells that no other reading was left at all.
    std::string Weigh(const std::vector<std::string>& Proposals, std::string_view Sample, bool Complete, bool& Clear);
    std::string ListName(const std::string& Name) const;
    // ListName of the answers most files get, asked once (Known keeps it).
    const std::string& KnownName(std::optional<std::string>& Known, const char* Name);
    std::string BreakTie(const std::vector<const TCandidate*>& Tied, int Proposals) const;

    TLumiva& Converter;
    std::vector<std::string> Preferred;
    // The sample of DetectFile, allocated at its first call (a run reads its own samples) and
    // kept: memory stays flat over a run.
    std::unique_ptr<char[]> Buffer;
    std::vector<TEncodingGuess> LastGuesses;
    // Made at the first 8-bit sample: a run of UTF-8 files never needs it.
    std::unique_ptr<TEightBitReadings> Readings;
    std::optional<std::string> Utf8Name;
    std::optional<std::string> AsciiName;
};
