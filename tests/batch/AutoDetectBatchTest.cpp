// lumiva-batch --from auto: each file detected on its own, the refusal, and files already in the
// target encoding in each output mode.

#include "run/BatchOptions.h"
#include "tests/common/BatchTestBase.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lmvtest::ReadFile;
using lmvtest::TProcessOutcome;
using lmvtest::WriteFile;

using lmvtest::Russian1251;
using lmvtest::RussianUtf8;
const std::string FrenchUtf8 = "Le r\xC3\xA9pertoire est d\xC3\xA9j\xC3\xA0 l\xC3\xA0.\n";

using AutoDetectBatchTest = lmvtest::TBatchTest;

TEST_F(AutoDetectBatchTest, EachFileIsDetectedOnItsOwnAndLogged)
{
    const std::string A = Source("a.txt", Russian1251), B = Source("b.txt", FrenchUtf8);
    const TProcessOutcome R = Run({"--from", "auto", "--to", "UTF-8", "--output-dir", Dir / "out", A, B});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Out, "Created output directory: " + (Dir / "out") + "\r\n" +
                         Entry(A, Dir / "out/a.txt", "\t- Source encoding: WINDOWS-1251\r\n... Succeeded\r\n") +
                         Entry(B, Dir / "out/b.txt", "\t- Source encoding: UTF-8\r\n... Succeeded\r\n") +
                         "Completed - 0 errors, 0 warnings\r\n");
    EXPECT_EQ(ReadFile(Dir / "out/a.txt"), RussianUtf8);
    EXPECT_EQ(ReadFile(Dir / "out/b.txt"), FrenchUtf8);
}

TEST_F(AutoDetectBatchTest, SignaturesFollowTheUsualRules)
{
    // A UTF-8 signature is dropped; a UTF-16 one decides the byte order.
    const std::string A = Source("a.txt", "\xEF\xBB\xBF" + FrenchUtf8);
    const std::string B = Source("b.txt", std::string("\xFE\xFF\0h\0i\0\n", 8));
    const TProcessOutcome R = Run({"--from", "Auto-detect", "--to", "UTF-8", "--output-dir", Dir / "out", A, B});
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_NE(R.Out.find("\t- Source encoding: UTF-8\r\n"), std::string::npos);
    EXPECT_NE(R.Out.find("\t- Source encoding: UTF-16\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(Dir / "out/a.txt"), FrenchUtf8);
    EXPECT_EQ(ReadFile(Dir / "out/b.txt"), "hi\n");
}

TEST_F(AutoDetectBatchTest, AnUndetectableFileFailsAndNothingIsWrittenForIt)
{
    std::string binary(512, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 37 % 251);
    const std::string A = Source("a.bin", binary), B = Source("b.txt", FrenchUtf8);
    const TProcessOutcome R = Run({"--from", "AUTO", "--to", "UTF-16", "--output-dir", Dir / "out", A, B});
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Out.find(Entry(A, Dir / "out/a.bin", "[Error] Cannot detect character encoding\r\n... Failed\r\n")),
              std::string::npos)
        << R.Out;
    EXPECT_NE(R.Out.find("Completed - 1 errors, 0 warnings\r\n"), std::string::npos);
    EXPECT_FALSE(lmvtest::Exists(Dir / "out/a.bin"));
    EXPECT_TRUE(lmvtest::Exists(Dir / "out/b.txt"));
    EXPECT_EQ(ReadFile(A), binary);
}

TEST_F(AutoDetectBatchTest, AFileAlreadyInTheTargetIsLeftAloneOnlyOverTheSource)
{
    // Over the source: no backup, same bytes, same time, not an error.
    const std::string A = Source("a.txt", FrenchUtf8);
    Age(A);
    const long long Before = ModificationTime(A);
    TProcessOutcome R = Run({"--from", "auto", "--to", "utf-8", "--overwrite", "--backup-prefix", "Backup - ", A});
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_EQ(R.Out, Entry(A, A, "\t- Source encoding: UTF-8\r\n... Already in target encoding\r\n") +
                         "Completed - 0 errors, 0 warnings\r\n");
    EXPECT_EQ(ReadFile(A), FrenchUtf8);
    EXPECT_EQ(ModificationTime(A), Before);
    EXPECT_FALSE(lmvtest::Exists(Dir / "Backup - a.txt"));

    // A conversion that changes the bytes is no such file: the signature the options ask for.
    R = Run({"--from", "auto", "--to", "UTF-8", "--utf8", "2", "--overwrite", "--no-backup", A});
    EXPECT_NE(R.Out.find("... Succeeded\r\n"), std::string::npos) << R.Out;
    EXPECT_EQ(ReadFile(A), "\xEF\xBB\xBF" + FrenchUtf8);
    // Nor is a file in another encoding of the same text.
    const std::string B = Source("b.txt", Russian1251);
    R = Run({"--from", "auto", "--to", "CP1251", "--overwrite", "--no-backup", B});
    EXPECT_NE(R.Out.find("\t- Source encoding: WINDOWS-1251\r\n... Already in target encoding\r\n"), std::string::npos)
        << R.Out;

    // Into a folder or beside the source, the output holds every file.
    const std::string C = Source("c.txt", FrenchUtf8);
    R = Run({"--from", "auto", "--to", "UTF-8", "--output-dir", Dir / "out", C});
    EXPECT_NE(R.Out.find("\t- Source encoding: UTF-8\r\n... Succeeded\r\n"), std::string::npos) << R.Out;
    EXPECT_EQ(ReadFile(Dir / "out/c.txt"), FrenchUtf8);
    R = Run({"--from", "auto", "--to", "UTF-8", "--prefix", "New - ", C});
    EXPECT_NE(R.Out.find("\t- Source encoding: UTF-8\r\n... Succeeded\r\n"), std::string::npos) << R.Out;
    EXPECT_EQ(ReadFile(Dir / "New - c.txt"), FrenchUtf8);
}

// Plain ASCII reads the same in every target that writes ASCII as itself, and an empty file in
// every target without a signature: neither is rewritten nor backed up.
TEST_F(AutoDetectBatchTest, AsciiAndEmptyFilesAreAlreadyInTargetsThatWriteThemAlike)
{
    const std::string A = Source("a.txt", "abc\n"), E = Source("e.txt", "");
    Age(A);
    Age(E);
    const long long Before = ModificationTime(A);
    for (const char* Target : {"UTF-8", "ISO-8859-1", "WINDOWS-1252", "KOI8-R"}) {
        const TProcessOutcome R =
            Run({"--from", "auto", "--to", Target, "--overwrite", "--backup-prefix", "Backup - ", A, E});
        EXPECT_EQ(R.Status, 0) << R.Out;
        EXPECT_EQ(R.Out, Entry(A, A, "\t- Source encoding: ASCII\r\n... Already in target encoding\r\n") +
                             Entry(E, E, "\t- Source encoding: ASCII\r\n... Already in target encoding\r\n") +
                             "Completed - 0 errors, 0 warnings\r\n")
            << Target;
        EXPECT_EQ(ModificationTime(A), Before) << Target;
        EXPECT_FALSE(lmvtest::Exists(Dir / "Backup - a.txt")) << Target;
    }
    // A target that writes them otherwise rewrites them.
    const TProcessOutcome R = Run({"--from", "auto", "--to", "UTF-16", "--overwrite", "--no-backup", A});
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_EQ(ReadFile(A), std::string("\xFF\xFE" "a\0b\0c\0\n\0", 10));
}

TEST(AutoDetectBatchOptions, AutoInAnyCaseAndAutoDetectSelectDetection)
{
    TStringList Names{"UTF-8", "UTF-16"};
    Names.Sort();
    const auto IsListed = [&Names](const std::string& Name) { return Names.Find(Name); };
    for (const char* Spelling : {"auto", "AUTO", "Auto", "Auto-detect", "AUTO-DETECT"}) {
        TBatchOptions Batch;
        Batch.Parse({"--from", Spelling, "a"});
        Batch.CheckEncodings(IsListed);
        EXPECT_EQ(Batch.Options.FromEncoding, "Auto-detect") << Spelling;
    }
    TBatchOptions Batch;
    Batch.Parse({"--to", "auto", "a"});
    EXPECT_THROW(Batch.CheckEncodings(IsListed), TBatchOptions::EUsageError);
    EXPECT_NE(TBatchOptions::HelpText().find("auto"), std::string::npos);
}

TEST_F(AutoDetectBatchTest, ACheckDetectsEachFileAsTheConversionWould)
{
    const std::string A = Source("a.txt", Russian1251);
    std::string binary(512, '\0');
    const std::string B = Source("b.bin", binary);
    const TProcessOutcome R = Run({"--check", "--from", "auto", "--to", "UTF-8", "--output-dir", Dir / "out", A, B});
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_EQ(R.Out, "Check character encoding:\r\n\t- Source file: " + A +
                         "\r\n\t- Source encoding: WINDOWS-1251\r\n... OK\r\n"
                         "Check character encoding:\r\n\t- Source file: " + B +
                         "\r\n[Error] Cannot detect character encoding\r\n... Failed\r\n"
                         "Completed - 1 errors, 0 warnings\r\n");
}

// A uchardet that cannot be loaded (here a file that is no library, found first on the library
// path) stops a detecting run before its first file, in the dynamic loader's words, as it once
// stopped every start; a run that does not detect never loads it.
TEST_F(AutoDetectBatchTest, ADetectionLibraryThatCannotBeLoadedStopsOnlyADetectingRun)
{
    const std::string libraries = Dir / "libs";
    Source("libs/libuchardet.so.0", "not a library");
    const std::string A = Source("a.txt", FrenchUtf8);
    std::vector<std::string> env = Env();
    env.push_back("LD_LIBRARY_PATH=" + libraries);

    TProcessOutcome R = lmvtest::RunProcess({Program, "--from", "auto", "--output-dir", Dir / "out", A}, env);
    EXPECT_EQ(R.Status, ExitCannotStart);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err.rfind("lumiva-batch: error while loading shared libraries: " + libraries + "/libuchardet.so.0: ", 0), 0u)
        << R.Err;
    EXPECT_FALSE(lmvtest::Exists(Dir / "out"));

    R = lmvtest::RunProcess({Program, "--from", "UTF-8", "--to", "UTF-8", "--output-dir", Dir / "out", A}, env);
    EXPECT_EQ(R.Status, ExitCompleted) << R.Err;
    EXPECT_EQ(ReadFile(Dir / "out/a.txt"), FrenchUtf8);
}

// A run of UTF-8 files finds uchardet and ICU before its first file but never loads them; a
// legacy 8-bit file does (the loader lists what it loads).
TEST_F(AutoDetectBatchTest, DetectionLibrariesAreLoadedOnlyForASampleThatNeedsThem)
{
    const std::string A = Source("a.txt", FrenchUtf8), B = Source("b.txt", Russian1251);
    std::vector<std::string> env = Env();
    env.push_back("LD_DEBUG=files");
    TProcessOutcome R = lmvtest::RunProcess({Program, "--from", "auto", "--output-dir", Dir / "out", A}, env);
    EXPECT_EQ(R.Status, ExitCompleted) << R.Err;
    EXPECT_EQ(R.Err.find("libuchardet"), std::string::npos) << R.Err;
    EXPECT_EQ(R.Err.find("libicu"), std::string::npos) << R.Err;

    R = lmvtest::RunProcess({Program, "--from", "auto", "--output-dir", Dir / "out2", A, B}, env);
    EXPECT_EQ(R.Status, ExitCompleted) << R.Err;
    EXPECT_NE(R.Err.find("libuchardet"), std::string::npos);
    EXPECT_NE(R.Err.find("libicuuc"), std::string::npos);
}

// A run that does not detect starts without uchardet and ICU (nor Qt, which would bring ICU):
// the dynamic loader lists what every start loads.
TEST(BatchStart, LoadsNoDetectionLibraryNorQt)
{
    const TProcessOutcome R = lmvtest::RunProcess({lmvtest::BinDir() + "/lumiva-batch"},
                                                  lmvtest::Environment({}, {"LD_TRACE_LOADED_OBJECTS=1"}));
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_NE(R.Out.find("libc.so"), std::string::npos) << R.Out;
    for (const char* library : {"libuchardet", "libicu", "libQt6"})
        EXPECT_EQ(R.Out.find(library), std::string::npos) << library << " in\n" << R.Out;
}

} // namespace
