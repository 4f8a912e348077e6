// What a run tells file by file (kind, result text, position, encoding), delivered in batches to
// the main thread; and the preview of a file as an encoding reads it.

#include "engine/Lumiva.h"
#include "run/ConvertThread.h"
#include "run/StepLoop.h"
#include "run/TextPreview.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

using lmvtest::WriteFile;

class TNoQuestions : public TRunQuestions {
public:
    std::int32_t AskMessageBox(const std::string&, std::uint32_t) override { return 0; }
    std::int32_t AskMessageDialog(const TMessageDialogParams&) override { return -1; }
    void ShowError(const std::exception*) override {}
};

class FileOutcomeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Engine = new TLumiva(); }
    static void TearDownTestSuite()
    {
        delete Engine;
        Engine = nullptr;
    }

    // The outcomes of a run over Files, by shown name, and how many batches brought them.
    std::map<std::string, TFileOutcome> Run(const TStringList& Files, bool CheckOnly,
                                            const std::vector<TSourceEntry>& Encodings = {}, bool OnlyListed = false)
    {
        std::map<std::string, TFileOutcome> outcomes;
        TStepLoop loop;
        TNoQuestions questions;
        std::promise<void> freed;
        auto* thread = new TConvertThread(Files, Engine, Options, Specs, questions, loop);
        thread->CheckOnly = CheckOnly;
        thread->SourceEncodings = Encodings;
        thread->OnlyListedSources = OnlyListed;
        thread->OnOutcomes = [&](TConvertThread*, std::vector<TFileOutcome>& Batch) {
            ++Batches;
            for (TFileOutcome& outcome : Batch)
                outcomes[outcome.Name] = std::move(outcome);
        };
        thread->OnDone = [&](TConvertThread*, TConvertState, TLogger& Logger) { Log = Logger.Lines.Text(); };
        thread->OnTerminate = [&](TConvertThread*) { loop.Quit(); };
        thread->OnFreed = [&] { freed.set_value(); };
        thread->Start();
        loop.Exec();
        freed.get_future().wait();
        return outcomes;
    }

    static TLumiva* Engine;
    TConvertOptions Options = [] {
        TConvertOptions options = DefaultConvertOptions();
        options.FromEncoding = "UTF-8";
        options.ToEncoding = "ISO-8859-1";
        return options;
    }();
    TConvertSpecs Specs = DefaultConvertSpecs();
    int Batches = 0;
    std::string Log;
    lmvtest::TempDir Dir;
};

TLumiva* FileOutcomeTest::Engine = nullptr;

TEST_F(FileOutcomeTest, ACheckTellsEachFilesResultAndWhere)
{
    std::filesystem::create_directories(Dir / "tree/sub");
    WriteFile(Dir / "tree/ok.txt", "caf\xC3\xA9\n");
    WriteFile(Dir / "tree/sub/bad.txt", "one\ntwo \xFF three\n");
    WriteFile(Dir / "tree/sub/wide.txt", "ab\xD0\x96\n"); // Cyrillic Zhe: not in Latin-1
    WriteFile(Dir / "tree/sub/cut.txt", "end \xC3");
    WriteFile(Dir / "tree/sub/zbin.dat", std::string("\x01\x02\0\0binary", 10));
    std::filesystem::create_directories(Dir / "tree/sub/zdir.txt");
    const auto outcomes = Run({Dir / "tree", Dir / "missing.txt"}, true);
    ASSERT_EQ(outcomes.size(), 6u) << Log;

    const TFileOutcome& ok = outcomes.at("ok.txt");
    EXPECT_EQ(ok.Kind, TOutcomeKind::Ok);
    EXPECT_EQ(ok.Text, "OK");
    EXPECT_EQ(ok.Source, Dir / "tree/ok.txt");
    EXPECT_EQ(ok.Size, 6u);
    EXPECT_EQ(ok.Encoding, "UTF-8");

    const TFileOutcome& bad = outcomes.at("sub/bad.txt");
    EXPECT_EQ(bad.Kind, TOutcomeKind::InvalidBytes);
    EXPECT_EQ(bad.Text, "Invalid byte sequence at line 2, column 5");
    EXPECT_EQ(bad.Line, 2u);
    EXPECT_EQ(bad.Column, 5u);
    EXPECT_EQ(bad.Offset, 8u);

    const TFileOutcome& wide = outcomes.at("sub/wide.txt");
    EXPECT_EQ(wide.Kind, TOutcomeKind::Unwritable);
    EXPECT_EQ(wide.Text, "Character U+0416 cannot be written in ISO-8859-1 at line 1, column 3");
    EXPECT_EQ(wide.Offset, 2u);

    EXPECT_EQ(outcomes.at("sub/cut.txt").Kind, TOutcomeKind::Incomplete);
    EXPECT_EQ(outcomes.at("sub/cut.txt").Text, "Incomplete character at the end of the file");
    EXPECT_EQ(outcomes.at("sub/zbin.dat").Kind, TOutcomeKind::Skipped);
    EXPECT_EQ(outcomes.at("sub/zbin.dat").Text, "Skipped, not a text file");
    // A file that cannot be read carries the run's own error text, and is named in full.
    const TFileOutcome& missing = outcomes.at(Dir / "missing.txt");
    EXPECT_EQ(missing.Kind, TOutcomeKind::Failed);
    EXPECT_NE(Log.find("[Error] " + missing.Text + "\r\n"), std::string::npos) << missing.Text;
    EXPECT_GE(Batches, 1);
}

TEST_F(FileOutcomeTest, OwnEncodingsAreUsedAndAFileAlreadyInTheTargetIsTold)
{
    WriteFile(Dir / "latin.txt", "caf\xE9\n");
    WriteFile(Dir / "same.txt", "plain caf\xE9\n");
    WriteFile(Dir / "utf8.txt", "caf\xC3\xA9\n");
    const std::vector<TSourceEntry> encodings{{"ISO-8859-1", Dir / "latin.txt"}, {"latin1", Dir / "same.txt"}};
    const auto outcomes = Run({Dir / "latin.txt", Dir / "same.txt", Dir / "utf8.txt"}, true, encodings);
    EXPECT_EQ(outcomes.at(Dir / "latin.txt").Encoding, "ISO-8859-1");
    EXPECT_EQ(outcomes.at(Dir / "same.txt").Kind, TOutcomeKind::AlreadyInTarget);
    EXPECT_EQ(outcomes.at(Dir / "same.txt").Text, "Already in target encoding");
    EXPECT_EQ(outcomes.at(Dir / "utf8.txt").Kind, TOutcomeKind::Ok);
    EXPECT_NE(Log.find("\t- Source encoding: ISO-8859-1\r\n"), std::string::npos) << Log;

    // Converting: each file from its own encoding; with only the listed files, the rest is left
    // out without a word.
    Options.ToEncoding = "UTF-8";
    Options.Output = omDirectory;
    Options.OutputDirectory = Dir / "out";
    const auto converted =
        Run({Dir / "latin.txt", Dir / "utf8.txt"}, false, {{"ISO-8859-1", Dir / "latin.txt"}}, true);
    ASSERT_EQ(converted.size(), 1u) << Log;
    EXPECT_EQ(converted.begin()->second.Kind, TOutcomeKind::Converted);
    EXPECT_EQ(lmvtest::ReadFile(Dir / "out/latin.txt"), "caf\xC3\xA9\n");
    EXPECT_FALSE(std::filesystem::exists(Dir / "out/utf8.txt"));
    EXPECT_EQ(Log.find("utf8.txt"), std::string::npos) << Log;
}

TEST_F(FileOutcomeTest, PreviewShowsUndecodableBytesLineEndsAndTheMark)
{
    TLumiva engine;
    WriteFile(Dir / "crlf.txt", "\xEF\xBB\xBF" "a\r\nb\xFF\xFE\r\n");
    TTextPreview preview = TTextPreview::Read(engine, Dir / "crlf.txt", "UTF-8", 7);
    EXPECT_TRUE(preview.Error.empty()) << preview.Error;
    EXPECT_TRUE(preview.Signature);
    EXPECT_EQ(preview.LineEnds, "CR LF");
    EXPECT_EQ(preview.Text, U"a\r\nb\uFFFD\uFFFD\r\n");
    ASSERT_EQ(preview.Undecodable.size(), 2u);
    EXPECT_EQ(preview.Undecodable[0].At, 4u);
    EXPECT_EQ(preview.Undecodable[0].Bytes, "\xFF");
    EXPECT_EQ(preview.Undecodable[1].Bytes, "\xFE");
    EXPECT_EQ(preview.Mark, 4u);

    WriteFile(Dir / "mixed.txt", "a\nb\r\nc\rd");
    preview = TTextPreview::Read(engine, Dir / "mixed.txt", "ISO-8859-1");
    EXPECT_EQ(preview.LineEnds, "mixed");
    EXPECT_FALSE(preview.Signature);
    EXPECT_FALSE(preview.Mark.has_value());

    // Far into a large file only the part around the mark is read, and the mark is in it.
    std::string big(300 * 1024, 'x');
    big[200 * 1024] = '\xC3'; // a lead byte followed by no continuation
    WriteFile(Dir / "big.txt", big);
    preview = TTextPreview::Read(engine, Dir / "big.txt", "UTF-8", 200 * 1024);
    EXPECT_GT(preview.Start, 0u);
    EXPECT_LE(preview.Text.size(), TTextPreview::Limit);
    ASSERT_TRUE(preview.Mark.has_value());
    EXPECT_EQ(preview.Text[*preview.Mark], U'\uFFFD');
    EXPECT_EQ(preview.Start + *preview.Mark, 200u * 1024);

    preview = TTextPreview::Read(engine, Dir / "nothing.txt", "UTF-8");
    EXPECT_FALSE(preview.Error.empty());
    // A row's path may have become a folder or a pipe since the check: an error, no wait for a writer.
    std::filesystem::create_directory(Dir / "folder");
    ASSERT_EQ(::mkfifo((Dir / "pipe").c_str(), 0600), 0);
    for (const char* name : {"folder", "pipe"}) {
        preview = TTextPreview::Read(engine, Dir / name, "UTF-8");
        EXPECT_EQ(preview.Error, "Cannot open file: " + Dir / name);
        EXPECT_TRUE(preview.Text.empty());
    }
}

} // namespace
