#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the two detection libraries propose for a sample, in their own spelling.
struct TLibraryGuesses {
    std::string Uchardet;               // uchardet's single answer; empty when it has none
    std::vector<std::string> Icu;       // ICU's matches at or above MinIcuConfidence, best first
    static constexpr int MinIcuConfidence = 10;
};

TLibraryGuesses GuessWithLibraries(std::string_view Sample);
