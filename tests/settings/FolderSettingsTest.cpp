#include "settings/FolderSettings.h"
#include "settings/Settings.h"

#include "tests/common/FirstSaveText.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

const TFolderOptions Unusual{false, " *.txt; *.SRT ", "", false, true};

TEST(FolderSettings, NewSectionsFollowTheKnownFileAndReadBackUnchanged)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    const std::string known = lmvtest::FirstSaveText("/home/u/Desktop/LMV Output", 246, 179);
    WriteFile(path, known);
    for (const TFolderOptions& options : {DefaultFolderOptions(), Unusual}) {
        {
            TSettings settings(path);
            WriteFolderOptions(settings, options);
            settings.UpdateFile();
        }
        const std::string text = ReadFile(path);
        EXPECT_TRUE(text.starts_with(known)) << text;
        if (options == DefaultFolderOptions()) {
            EXPECT_EQ(text.substr(known.size()), lmvtest::FolderSectionsFirstSaveText());
        }
        const TSettings loaded(path);
        EXPECT_EQ(ReadFolderOptions(loaded, options == Unusual ? DefaultFolderOptions() : Unusual), options);
    }
}

TEST(FolderSettings, MissingOrMalformedKeysKeepTheCurrentValues)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    WriteFile(path, lmvtest::FirstSaveText("/out", 1, 2));
    EXPECT_EQ(ReadFolderOptions(TSettings(path), DefaultFolderOptions()), DefaultFolderOptions());
    EXPECT_EQ(ReadFolderOptions(TSettings(path), Unusual), Unusual);

    WriteFile(path, "[Folders]\r\nIncludeSubfolders=maybe\r\nFileNames=*.txt\r\n[Results]\r\nKeepModificationTime=2\r\n");
    TFolderOptions expected = DefaultFolderOptions();
    expected.FileNames = "*.txt";
    expected.KeepTime = true;
    EXPECT_EQ(ReadFolderOptions(TSettings(path), DefaultFolderOptions()), expected);
}

TEST(FolderSettings, MasksTheWindowWouldRefuseFallBackAndGoodOnesStay)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    // Each refused list falls back alone; an empty skip list is a choice, an empty name list is not.
    const struct {
        const char* FileNames;
        const char* SkipNames;
        std::string KeptFileNames;
        std::string KeptSkipNames;
    } cases[] = {
        {"*.txt;;*.srt", "", "*", ""},
        {"", "  ", "*", ".*"},
        {"*.txt; *.srt", "*.bak;", "*.txt; *.srt", ".*"},
        {" \t", "a;b", "*", "a;b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.FileNames) + " | " + c.SkipNames);
        WriteFile(path, std::string("[Folders]\r\nFileNames=\"") + c.FileNames + "\"\r\nSkipNames=\"" + c.SkipNames +
                            "\"\r\nSkipNonText=0\r\n");
        const TFolderOptions loaded = ReadFolderOptions(TSettings(path), DefaultFolderOptions());
        EXPECT_EQ(loaded.FileNames, c.KeptFileNames);
        EXPECT_EQ(loaded.SkipNames, c.KeptSkipNames);
        EXPECT_FALSE(loaded.SkipNonText) << "the other keys are read as they stand";
    }
}

} // namespace
