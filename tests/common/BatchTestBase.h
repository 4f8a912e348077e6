#pragma once

#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lmvtest {

// "héllo\n" in UTF-8, and as lumiva-batch writes it in UTF-16 (little-endian, with a signature).
inline const std::string HelloUtf8 = "h\xC3\xA9llo\n";
// A Russian sentence in Windows-1251, which detection tells, and the same in UTF-8.
inline const std::string Russian1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEA\xE0\xEA \xE4\xE5\xEB\xE0? \xDD\xF2\xEE "
                                       "\xEF\xF0\xEE\xF1\xF2\xEE\xE9 \xF2\xE5\xEA\xF1\xF2 \xED\xE0 "
                                       "\xF0\xF3\xF1\xF1\xEA\xEE\xEC \xFF\xE7\xFB\xEA\xE5.\n";
inline const std::string RussianUtf8 = "Привет, как дела? Это простой текст на русском языке.\n";
inline const std::string HelloUtf16Le = Bytes({0xFF, 0xFE, 'h', 0, 0xE9, 0, 'l', 0, 'l', 0, 'o', 0, '\n', 0});

// lumiva-batch run as a separate process, with HOME and XDG_CONFIG_HOME inside a fresh folder so
// that no default folder of the user is touched.
class TBatchTest : public testing::Test {
protected:
    // 2001-09-09, in seconds.
    static constexpr long long OldTime = 1000000000;

    std::vector<std::string> Env() const;
    // Runs lumiva-batch with Args.
    TProcessOutcome Run(const std::vector<std::string>& Args, const TProcessOptions& Options = {}) const;
    // Writes Content into Dir / Name, its folders made, and returns that path.
    std::string Source(const std::string& Name, const std::string& Content = HelloUtf8) const;
    // The start of one file's block in the run log, then Rest.
    static std::string Entry(const std::string& Src, const std::string& Dest, const std::string& Rest);
    // Sets both times of the file to OldTime, so that a rewrite shows.
    static void Age(const std::string& Path);
    // In nanoseconds.
    static long long ModificationTime(const std::string& Path);

    const std::string Program = BinDir() + "/lumiva-batch";
    TempDir Dir;
};

} // namespace lmvtest
