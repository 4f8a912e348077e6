// Settings files that nobody should write (binary garbage, numbers beyond 32 bits): every read
// gives the stored value when well formed, the current one otherwise, and the next save loads
// back to exactly what was saved.

#include "settings/OpenDialogList.h"
#include "settings/Settings.h"
#include "tests/common/SettingsSnapshot.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using lmvtest::ReadAll;
using lmvtest::ReadFile;
using lmvtest::TSettingsSnapshot;
using lmvtest::WriteAll;
using lmvtest::WriteFile;

// Everything TSettings reads and writes, with current values unlike the defaults, so that a read
// that falls back to the current value shows.
struct TAll : lmvtest::TSettingsSnapshot {
    TAll()
    {
        Specs = {2, 3, 4};
        Assist = {true};
        View = {false, true, true, false};
        Left = 123;
        Top = -45;
        InitialDir = "/current/dir";
        FilterIndexes = {7, 8, 9};
        Convert = {"CURRENT-FROM", "CURRENT-TO", 1, 31337, 2, "/current/out", "cur_", true, "bak_"};
    }
};

class HostileSettings : public testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(Root / "Lumiva"); }

    // Loads Content, reads everything, saves what was read and loads the saved file again:
    // the second load must give back exactly what was saved, and the file must be plain text.
    TSettingsSnapshot LoadReadSave(const std::string& Content)
    {
        WriteFile(File, Content);
        TSettingsSnapshot read;
        {
            TSettings settings(File);
            read = ReadAll(settings, TAll());
            WriteAll(settings, read);
            settings.UpdateFile();
        }
        const std::string saved = ReadFile(File);
        EXPECT_EQ(saved.find('\0'), std::string::npos) << "a NUL in the saved file";
        for (std::size_t at = saved.find('\r'); at != std::string::npos; at = saved.find('\r', at + 1)) {
            if (at + 1 >= saved.size() || saved[at + 1] != '\n') {
                ADD_FAILURE() << "a bare CR in the saved file at " << at;
                break;
            }
        }
        TSettings again(File);
        EXPECT_EQ(again.Text(), saved) << "the saved file does not load back to itself";
        EXPECT_EQ(ReadAll(again, TAll()), read) << "the saved values do not read back";
        // Nothing read back may come from the fallback: read with other current values.
        TAll other;
        other.Convert.BufferSize = 1;
        other.Convert.FromEncoding = "OTHER";
        other.Left = 99999;
        other.FilterIndexes = {1, 1, 1};
        EXPECT_EQ(ReadAll(again, other), read) << "a saved value is not read";
        return read;
    }

    lmvtest::TempDir Root;
    const std::string File = Root / "Lumiva/Settings.ini";
};

TEST_F(HostileSettings, BinaryGarbageReadsAsCurrentValues)
{
    std::mt19937 random(7);
    for (const bool withNul : {true, false}) {
        std::string garbage;
        for (int i = 0; i < 1 << 20; ++i) {
            const auto byte = static_cast<char>(random() % (withNul ? 256 : 255) + (withNul ? 0 : 1));
            garbage += byte;
        }
        EXPECT_EQ(LoadReadSave(garbage), TAll()) << (withNul ? "with" : "without") << " NUL bytes";
    }
}

TEST_F(HostileSettings, GarbageAroundAValidSectionKeepsItsValues)
{
    std::mt19937 random(11);
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>(random() % 255 + 1);
    const TSettingsSnapshot read = LoadReadSave(garbage + "\n[ConvertOptions]\nBufferSize=4096\nOutputPrefix=\" x \"\n" + garbage);
    EXPECT_EQ(read.Convert.BufferSize, 4096);
    EXPECT_EQ(read.Convert.OutputPrefix, " x ");
}

TEST_F(HostileSettings, NumbersBeyond32BitsReadAsCurrentValues)
{
    const std::vector<std::string> outOfRange = {"2147483648", "-2147483649", "4294967296", "0x100000000",
                                                 "$FFFFFFFF", "99999999999999999999999999", "-0x80000001",
                                                 "1e3", "12abc", "", "+", "0x", "--1", " "};
    for (const std::string& bad : outOfRange) {
        SCOPED_TRACE("value \"" + bad + "\"");
        const std::string text = "[ConvertOptions]\nTranslation=" + bad + "\nBufferSize=" + bad + "\nOutput=" + bad +
                                  "\nBackupSrcFiles=" + bad + "\n[ConvertSpecs]\nUtf8=" + bad + "\nUtf16=" + bad +
                                  "\nUtf32=" + bad + "\n[AssistOptions]\nAlwaysSaveLog=" + bad +
                                  "\n[ViewOptions]\nToolBar=" + bad + "\nStatusBar=" + bad + "\nLastPosition=" + bad +
                                  "\nTopmost=" + bad + "\n[LastPosition]\nLeft=" + bad + "\nTop=" + bad +
                                  "\n[OpenDialogList]\nFilterIndex0=" + bad + "\nFilterIndex1=" + bad +
                                  "\nFilterIndex2=" + bad + "\n";
        EXPECT_EQ(LoadReadSave(text), TAll());
    }
}

} // namespace

namespace lmvtest {

// How gtest shows a load that differs: long texts cut short.
void PrintTo(const TSettingsSnapshot& All, std::ostream* Out)
{
    const TConvertOptions& c = All.Convert;
    *Out << "{" << c.FromEncoding.substr(0, 40) << ", " << c.ToEncoding.substr(0, 40) << ", " << c.Translation
         << ", " << c.BufferSize << ", " << c.Output << ", " << c.OutputDirectory.substr(0, 40) << ", "
         << c.OutputPrefix.substr(0, 40) << ", " << c.BackupSrcFiles << ", " << c.BackupPrefix.substr(0, 40) << " | "
         << All.Specs.Utf8 << " " << All.Specs.Utf16 << " " << All.Specs.Utf32 << " | " << All.Assist.AlwaysSaveLog
         << " | " << All.View.ToolBar << All.View.StatusBar << All.View.LastPosition << All.View.Topmost << " | "
         << All.Left << "," << All.Top << " | " << All.InitialDir.substr(0, 40) << " " << All.FilterIndexes[0] << " "
         << All.FilterIndexes[1] << " " << All.FilterIndexes[2] << "}";
}

} // namespace lmvtest
