#include "settings/OpenDialogList.h"
#include "settings/Settings.h"

#include "util/Exception.h"

#include "tests/common/FirstSaveText.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

class TNoRunner : public TFileDialogRunner {
public:
    bool Run(TFileDialog&) override { return false; }
};

TFileDialog MakeDialog(TFileDialog::TKind kind, const char* title, const char* filter, int filterIndex)
{
    TFileDialog dialog;
    dialog.Kind = kind;
    dialog.Title = title;
    dialog.Filter = filter;
    dialog.FilterIndex = filterIndex;
    return dialog;
}

// The main window's three dialogs as it sets them up, in a list.
struct TDialogs {
    TNoRunner Runner;
    TFileDialog Files = MakeDialog(
        TFileDialog::dkOpen, "Files",
        "Text files (*.txt)|*.txt|HTML files (*.htm;*.html)|*.htm;*.html|All files (*)|*", 3);
    TFileDialog List = MakeDialog(TFileDialog::dkOpen, "List", "Text files (*.txt)|*.txt|All files (*)|*", 1);
    TFileDialog Save = MakeDialog(TFileDialog::dkSave, "Save", "Text files (*.txt)|*.txt|All files (*)|*", 1);
    TOpenDialogList DialogList{Runner};

    TDialogs()
    {
        Files.MultiSelect = true;
        Save.DefaultExt = "txt";
        DialogList.Add(&Files);
        DialogList.Add(&List);
        DialogList.Add(&Save);
    }
};

void WriteEverything(TSettings& settings, const TOpenDialogList& list, const TConvertOptions& convert,
                     const TConvertSpecs& specs, const TAssistOptions& assist, const TViewOptions& view,
                     int left, int top)
{
    settings.WriteOpenDialogList(list);
    settings.WriteConvertOptions(convert);
    settings.WriteConvertSpecs(specs);
    settings.WriteAssistOptions(assist);
    settings.WriteViewOptions(view);
    settings.WriteLastPosition(left, top);
}

TConvertOptions Unusual()
{
    TConvertOptions o;
    o.FromEncoding = "ISO-8859-1";
    o.ToEncoding = "UTF-32";
    o.Translation = trTransliterate;
    o.BufferSize = 4096;
    o.Output = omOverwrite;
    o.OutputDirectory = "/home/u/My \"quoted\" dir/";
    o.OutputPrefix = " Output - ";
    o.BackupSrcFiles = false;
    o.BackupPrefix = "\"";
    return o;
}

TEST(Settings, FirstSaveFromTheDefaultsIsExactlyTheKnownFile)
{
    TempDir dir;
    const std::string path = dir / "Lumiva/Settings.ini";
    TDialogs dialogs;
    {
        TSettings settings(path);
        WriteEverything(settings, dialogs.DialogList, DefaultConvertOptions(), DefaultConvertSpecs(),
                        DefaultAssistOptions(), DefaultViewOptions(), 246, 179);
        settings.UpdateFile();
    }
    const std::string outputDirectory = DefaultOutputDirectory();
    ASSERT_FALSE(outputDirectory.empty());
    EXPECT_EQ(outputDirectory.front(), '/');
    EXPECT_EQ(ReadFile(path), lmvtest::FirstSaveText(outputDirectory, 246, 179));
}

TEST(Settings, SaveThenLoadReturnsEveryRecordUnchanged)
{
    TempDir dir;
    const std::string path = dir / "Settings.ini";

    const TConvertOptions defaults = DefaultConvertOptions();
    const TConvertOptions unusual = Unusual();
    const TConvertSpecs specs{usWithBom, 2, usBeWithBom};
    const TAssistOptions assist{true};
    const TViewOptions view{false, true, true, false};
    for (const TConvertOptions& convert : {defaults, unusual}) {
        TDialogs saved;
        saved.DialogList.InitialDir = convert.OutputDirectory == defaults.OutputDirectory ? "" : "/a \"b\" ";
        saved.Files.FilterIndex = 2;
        saved.Save.FilterIndex = 7;
        {
            TSettings settings(path);
            WriteEverything(settings, saved.DialogList, convert, specs, assist, view, -12, 34);
            settings.UpdateFile();
        }

        TDialogs loaded;
        loaded.DialogList.InitialDir = "/something else";
        TSettings settings(path);
        settings.ReadOpenDialogList(loaded.DialogList);
        EXPECT_EQ(loaded.DialogList.InitialDir, saved.DialogList.InitialDir);
        EXPECT_EQ(loaded.Files.FilterIndex, 2);
        EXPECT_EQ(loaded.List.FilterIndex, 1);
        EXPECT_EQ(loaded.Save.FilterIndex, 7);
        EXPECT_EQ(settings.ReadConvertOptions(TConvertOptions{}), convert);
        EXPECT_EQ(settings.ReadConvertSpecs(TConvertSpecs{}), specs);
        EXPECT_EQ(settings.ReadAssistOptions(TAssistOptions{}), assist);
        EXPECT_EQ(settings.ReadViewOptions(TViewOptions{}), view);
        int left = 0, top = 0;
        settings.ReadLastPosition(left, top);
        EXPECT_EQ(left, -12);
        EXPECT_EQ(top, 34);
    }
}

TEST(Settings, MissingFileReturnsTheCurrentValues)
{
    TempDir dir;
    TSettings settings(dir / "Settings.ini");
    const TConvertOptions current = Unusual();
    EXPECT_EQ(settings.ReadConvertOptions(current), current);
    EXPECT_EQ(settings.ReadConvertSpecs(TConvertSpecs{1, 3, 4}), (TConvertSpecs{1, 3, 4}));
    EXPECT_EQ(settings.ReadAssistOptions(TAssistOptions{true}), TAssistOptions{true});
    EXPECT_EQ(settings.ReadViewOptions(TViewOptions{true, false, true, false}),
              (TViewOptions{true, false, true, false}));
    TDialogs dialogs;
    dialogs.DialogList.InitialDir = "/kept";
    settings.ReadOpenDialogList(dialogs.DialogList);
    EXPECT_EQ(dialogs.DialogList.InitialDir, "/kept");
    EXPECT_EQ(dialogs.Files.FilterIndex, 3);
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

    TempDir empty;
    TSettings none(empty / "Settings.ini");
    left = 11, top = 22;
    none.ReadLastPosition(left, top);
    EXPECT_EQ(left, 11);
    EXPECT_EQ(top, 22);
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
