// Prints one line per file named on the command line: the detected encoding, or "-" for a
// refusal. The file names come from standard input, one a line, when none are given.
// LUMIVA_PROBE_LOCALE names the locale whose language breaks ties (default: the locale's own).
// LUMIVA_PROBE_SCORES set and not empty adds, after a tab, the best reading weighed (even for a
// refusal) and, after another, its score; set to "all", every runner-up follows, and the scores
// are written in full (to compare two builds' answers).
#include "detect/EncodingDetector.h"
#include "engine/Lumiva.h"

#include <clocale>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

int main(int argc, char** argv)
{
    const char* locale = std::setlocale(LC_ALL, "");
    TLumiva engine;
    const char* tieLocale = std::getenv("LUMIVA_PROBE_LOCALE");
    TEncodingDetector detector(engine, tieLocale != nullptr ? tieLocale : locale != nullptr ? locale : "");
    const char* scoresWanted = std::getenv("LUMIVA_PROBE_SCORES");
    const bool scores = scoresWanted != nullptr && *scoresWanted != '\0';
    if (scores && std::string_view(scoresWanted) == "all")
        std::cout.precision(17);
    auto detectOne = [&](const std::string& name) {
        std::string answer;
        try {
            answer = detector.DetectFile(name);
        } catch (const std::exception&) {
        }
        std::cout << (answer.empty() ? std::string("-") : answer);
        if (scores) {
            const auto& guesses = detector.Guesses();
            std::cout << '\t' << (guesses.empty() ? std::string("-") : guesses.front().Name) << '\t'
                      << (guesses.empty() ? 0.0 : guesses.front().Score);
            if (std::string_view(scoresWanted) == "all")
                for (std::size_t i = 1; i < guesses.size(); ++i)
                    std::cout << '\t' << guesses[i].Name << ' ' << guesses[i].Score;
        }
        std::cout << '\n';
    };
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            detectOne(argv[i]);
    } else {
        for (std::string line; std::getline(std::cin, line);)
            detectOne(line);
    }
    return 0;
}
