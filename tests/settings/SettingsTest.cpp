#include "settings/OpenDialogList.h"
#include "settings/Settings.h"

#include "util/Exception.h"

#include "tests/common/FirstSaveText.h"
#include "tests/common/SettingsSnapshot.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

using lmvtest::TSettingsSnapshot;

// What a first start holds; the file dialogs' filters as the window sets them up.
TSettingsSnapshot Defaults()
{
    TSettingsSnapshot all;
    all.Convert = DefaultConvertOptions();
    all.Specs = DefaultConvertSpecs();
    all.Assist = DefaultAssistOptions();
    all.View = DefaultViewOptions();
    all.FilterIndexes = {3, 1, 1};
    return all;
}

// Unlike the defaults in every value, with quotes and blanks where texts may hold them.
TSettingsSnapshot Unusual()
{
    TSettingsSnapshot all;
    all.Convert = {"ISO-8859-1", "UTF-32", trTransliterate, 4096, omOverwrite, "/home/u/My \"quoted\" dir/",
                   " Output - ", false, "\""};
    all.Specs = {usWithBom, 2, usBeWithBom};
    all.Assist = {true};
    all.View = {false, true, true, false};
    all.Left = -12;
    all.Top = 34;
    all.InitialDir = "/a \"b\" ";
    all.FilterIndexes = {2, 1, 7};
    return all;
}

TEST(Settings, FirstSaveFromTheDefaultsIsExactlyTheKnownFile)
{
    TempDir dir;
    const std::string path = dir / "Lumiva/Settings.ini";
    {
        TSettingsSnapshot first = Defaults();
        first.Left = 246;
        first.Top = 179;
        TSettings settings(path);
        lmvtest::WriteAll(settings, first);
        settings.UpdateFile();
    }
    const std::string outputDirectory = DefaultOutputDirectory();
    ASSERT_FALSE(outputDirectory.empty());
    EXPECT_EQ(outputDirectory.front(), '/');
    EXPECT_EQ(ReadFile(path), lmvtest::FirstSaveText(outputDirectory, 246, 179));
}

// Read back over current values unlike each of them, and from no file as those current values.
TEST(Settings, SaveThenLoadReturnsEveryRecordUnchanged)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    for (const TSettingsSnapshot& saved : {Defaults(), Unusual()}) {
        {
            TSettings settings(path);
            lmvtest::WriteAll(settings, saved);
            settings.UpdateFile();
        }
        const TSettingsSnapshot& other = saved == Unusual() ? Defaults() : Unusual();
        EXPECT_EQ(lmvtest::ReadAll(TSettings(path), other), saved);
        EXPECT_EQ(lmvtest::ReadAll(TSettings(dir / "none.ini"), other), other);
    }
}

TEST(Settings, QuoteAndUnquote)
{
    EXPECT_EQ(TQuoteIniFile::QuoteValue("abc"), "\"abc\"");
    EXPECT_EQ(TQuoteIniFile::QuoteValue(""), "\"\"");
    EXPECT_EQ(TQuoteIniFile::QuoteValue("a\"b"), "\"a\"b\"");

    EXPECT_EQ(TQuoteIniFile::UnquoteValue("\"abc\""), "abc");
    EXPECT_EQ(TQuoteIniFile::UnquoteValue("\"abc"), "abc");
    EXPECT_EQ(TQuoteIniFile::UnquoteValue("abc\""), "abc\"");
    EXPECT_EQ(TQuoteIniFile::UnquoteValue("\"\""), "");
    EXPECT_EQ(TQuoteIniFile::UnquoteValue("\""), "");
    EXPECT_EQ(TQuoteIniFile::UnquoteValue("\"a\"b\""), "a\"b");
    EXPECT_EQ(TQuoteIniFile::UnquoteValue(""), "");
    EXPECT_EQ(TQuoteIniFile::UnquoteValue("abc"), "abc");
}

TEST(Settings, QuotedStringsKeepBlanksAndDefaults)
{
    TempDir dir;
    WriteFile(dir / "f.ini", "[S]\r\nempty=\r\nlone=\"\r\nbare=  x y  \r\n");
    TQuoteIniFile ini(dir / "f.ini");
    EXPECT_EQ(ini.ReadQuotedString("S", "missing", "\"dflt\" "), "\"dflt\" ");
    EXPECT_EQ(ini.ReadQuotedString("S", "empty", "dflt"), "");
    EXPECT_EQ(ini.ReadQuotedString("S", "lone", "dflt"), "");
    EXPECT_EQ(ini.ReadQuotedString("S", "bare", "dflt"), "x y");
    ini.WriteQuotedString("S", "spaced", "  a  ");
    EXPECT_EQ(ini.ReadString("S", "spaced", ""), "\"  a  \"");
    EXPECT_EQ(ini.ReadQuotedString("S", "spaced", ""), "  a  ");
}

TEST(Settings, HandEditedValues)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    WriteFile(path, "[ConvertOptions]\r\n"
                    "OutputPrefix=Output - \r\n"
                    "BackupPrefix=\"\r\n"
                    "Translation=\"1\"\r\n"
                    "BufferSize=0x8000\r\n"
                    "Output=$2\r\n"
                    "FromEncoding=\"  CP1252  \"\r\n"
                    "[ViewOptions]\r\n"
                    "ToolBar=2\r\n"
                    "StatusBar=yes\r\n"
                    "Topmost=-1\r\n");
    TSettings settings(path);
    TConvertOptions current = DefaultConvertOptions();
    current.Translation = trIgnore + 1;
    const TConvertOptions read = settings.ReadConvertOptions(current);
    EXPECT_EQ(read.OutputPrefix, "Output -");
    EXPECT_EQ(read.BackupPrefix, "");
    EXPECT_EQ(read.Translation, trIgnore + 1);
    EXPECT_EQ(read.BufferSize, 32768);
    EXPECT_EQ(read.Output, omOverwrite);
    EXPECT_EQ(read.FromEncoding, "  CP1252  ");
    EXPECT_EQ(read.ToEncoding, current.ToEncoding);

    const TViewOptions view = settings.ReadViewOptions(TViewOptions{false, false, false, false});
    EXPECT_TRUE(view.ToolBar);
    EXPECT_FALSE(view.StatusBar); // "yes" is no number: the current value stays
    EXPECT_TRUE(view.Topmost);
    const TViewOptions view2 = settings.ReadViewOptions(TViewOptions{false, true, false, false});
    EXPECT_TRUE(view2.StatusBar);
}

TEST(Settings, UnknownContentSurvivesASaveButCommentsAndBlanksDoNot)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    WriteFile(path, "orphan=1\r\n"
                    "; leading comment\r\n"
                    "[Custom]\r\n"
                    "  Alpha =  one two  \r\n"
                    "\r\n"
                    "; inner comment\r\n"
                    "free text\r\n"
                    "[AssistOptions]\r\n"
                    "AlwaysSaveLog=1\r\n"
                    "Extra=kept\r\n");
    {
        TSettings settings(path);
        EXPECT_TRUE(settings.ReadAssistOptions(TAssistOptions{false}).AlwaysSaveLog);
        settings.WriteAssistOptions(TAssistOptions{false});
        settings.WriteConvertSpecs(DefaultConvertSpecs());
        settings.UpdateFile();
    }
    EXPECT_EQ(ReadFile(path), "[Custom]\r\n"
                              "Alpha=one two\r\n"
                              "free text\r\n"
                              "\r\n"
                              "[AssistOptions]\r\n"
                              "AlwaysSaveLog=0\r\n"
                              "Extra=kept\r\n"
                              "\r\n"
                              "[ConvertSpecs]\r\n"
                              "Utf8=0\r\n"
                              "Utf16=0\r\n"
                              "Utf32=0\r\n"
                              "\r\n");
}

TEST(Settings, LastPositionIsReadOnlyWhereStoredAndAlwaysWritten)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    WriteFile(path, "[ViewOptions]\r\nLastPosition=0\r\n[LastPosition]\r\nLeft=500\r\nTop=oops\r\n");
    {
        TSettings settings(path);
        int left = 10, top = 20;
        settings.ReadLastPosition(left, top);
        EXPECT_EQ(left, 500);
        EXPECT_EQ(top, 20); // malformed: the current value stays

        // The load applies the position only when the flag is set; here it is not.
        const TViewOptions view = settings.ReadViewOptions(DefaultViewOptions());
        EXPECT_FALSE(view.LastPosition);

        // The save writes the current position whatever the flag.
        settings.WriteViewOptions(view);
        settings.WriteLastPosition(-3, 7);
        settings.UpdateFile();
    }
    TSettings settings(path);
    int left = 0, top = 0;
    settings.ReadLastPosition(left, top);
    EXPECT_EQ(left, -3);
    EXPECT_EQ(top, 7);
}

TEST(Settings, UnwritableSettingsFileThrowsAndKeepsTheOldOne)
{
    TempDir dir;
    // The settings folder is a regular file.
    WriteFile(dir / "Lumiva", "not a folder");
    {
        TSettings settings(dir / "Lumiva/Settings.ini");
        settings.WriteConvertOptions(DefaultConvertOptions());
        EXPECT_THROW(settings.UpdateFile(), Exception);
    }
    EXPECT_EQ(ReadFile(dir / "Lumiva"), "not a folder");

    // The settings file is a directory: the load already fails.
    std::filesystem::create_directories(dir / "Other/Settings.ini");
    EXPECT_THROW(TSettings settings(dir / "Other/Settings.ini"), Exception);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Other/Settings.ini"));
}

TEST(Settings, AFailedWriteOfATextWithALineBreakKeepsTheFile)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";
    WriteFile(path, "[ConvertOptions]\r\nOutputPrefix=\"old\"\r\n");
    TSettings settings(path);
    TConvertOptions options = DefaultConvertOptions();
    options.OutputDirectory = "/tmp/a\n[ViewOptions]\nToolBar=0";
    EXPECT_THROW(settings.WriteConvertOptions(options), Exception);
    EXPECT_EQ(ReadFile(path), "[ConvertOptions]\r\nOutputPrefix=\"old\"\r\n");
}

} // namespace
