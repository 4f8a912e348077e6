#pragma once

#include "detect/EncodingDetector.h"

#include <span>
#include <string>
#include <vector>

class TLogger;
class TLumiva;
class TSourceFile;

// The per-file step of a run whose From is "Auto-detect": detects the source's encoding, logs
// it, and tells whether a converted file is the source over again. Used on the worker thread,
// between the conversions of the files (it borrows the engine for decoding).
class TSourceDetection {
public:
    TSourceDetection(TLumiva& Converter, std::string LocaleName);

    // Bytes a sample for Detect needs: one past what is weighed tells a whole file from a longer one.
    static constexpr std::size_t SampleSize = TEncodingDetector::SampleLimit + 1;

    // Reads Source's sample into Room (SampleSize bytes, unless read already), logs
    // "\t- Source encoding: " + the name and returns it; raises EConvertError with
    // "Cannot detect character encoding" when no name is certain enough, and with the
    // conversion's messages when the source cannot be opened or read.
    std::string Detect(TSourceFile& Source, std::span<char> Room, TLogger& Logger);
    // The readings weighed for the file since Forget, best first (see TEncodingDetector::Guesses);
    // none when none was weighed, so that a file never has another's.
    const std::vector<TEncodingGuess>& Guesses() const { return Weighed ? Detector.Guesses() : NoGuesses; }
    // A new file: nothing is weighed for it yet.
    void Forget() noexcept { Weighed = false; }

    // True when the converted file (the readable descriptor Converted) holds exactly the bytes
    // of the source open as Source, whatever the names of the two encodings: rewriting it would
    // change nothing (plain ASCII into UTF-8, an empty file into a target without a signature).
    static bool AlreadyInTarget(int Source, int Converted);

private:
    TEncodingDetector Detector;
    bool Weighed = false;
    const std::vector<TEncodingGuess> NoGuesses;
};
