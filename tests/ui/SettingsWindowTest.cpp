// The window's settings: values it cannot use fall back to the defaults on load, and a folder
// name that is no UTF-8 survives a load and a save byte for byte.

#include "engine/Lumiva.h"
#include "settings/Settings.h"
#include "tests/common/TestSupport.h"
#include "tests/ui/WindowFixture.h"
#include "ui/LocalText.h"
#include "ui/MainForm.h"
#include "ui/OptionsDialog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using lmvtest::ReadFile;
using lmvtest::WriteFile;

TEST(SettingsWindow, ValuesTheWindowCannotUseLoadAsTheDefaultsAndSaveSo)
{
    lmvtest::TempDir dir;
    const std::string path = dir / "Settings.ini";
    lmvtest::TWindowParts parts;
    TConvertOptions defaults;
    TConvertSpecs defaultSpecs;
    {
        const auto form = parts.Window(dir / "none.ini");
        defaults = form->ConvertOptions;
        defaultSpecs = form->OptionsDialog->ConvertSpecs;
    }
    const std::string bad[] = {
        "FromEncoding=\"FOO\"", "ToEncoding=\"\"", "Translation=-3", "BufferSize=0", "Output=7",
        "OutputDirectory=\"relative/out\"", "OutputPrefix=\"a/b\"", "BackupPrefix=\"\"",
    };
    std::string text = "[ConvertOptions]\r\n";
    for (const std::string& line : bad)
        text += line + "\r\n";
    text += "\r\n[ConvertSpecs]\r\nUtf8=3\r\nUtf16=2\r\nUtf32=9\r\n\r\n";
    WriteFile(path, text);
    {
        const auto form = parts.Window(path);
        EXPECT_EQ(form->ConvertOptions, defaults);
        EXPECT_EQ(form->OptionsDialog->ConvertSpecs, defaultSpecs);
        form->Settings->SaveSettings();
    }
    const TSettings saved(path);
    EXPECT_EQ(saved.ReadConvertOptions(TConvertOptions{}), defaults);
    EXPECT_EQ(saved.ReadConvertSpecs(TConvertSpecs{9, 9, 9}), defaultSpecs);

    // "UTF" (a NUL cut the rest away) is no name either; a usable value stays as stored.
    static const char cut[] = "[ConvertOptions]\r\nTranslation=1\r\nFromEncoding=\"UTF\0-8\"\r\n";
    WriteFile(path, std::string(cut, sizeof cut - 1));
    const auto form = parts.Window(path);
    EXPECT_EQ(form->ConvertOptions.FromEncoding, defaults.FromEncoding);
    EXPECT_EQ(form->ConvertOptions.Translation, 1);
}

TEST(SettingsWindow, AFolderNameInAnotherCharacterSetSurvivesLoadAndSave)
{
    lmvtest::TempDir dir;
    const std::string path = dir / "Settings.ini";
    const std::string latin1 = "/tmp/caf\xE9 \xC3 r\xE9sum\xE9\xFF";
    WriteFile(path, "[ConvertOptions]\r\nOutputDirectory=\"" + latin1 + "\"\r\nOutputPrefix=\"\xE9t\xE9 \"\r\n");
    lmvtest::TWindowParts parts;
    parts.Window(path)->Settings->SaveSettings();
    const TConvertOptions saved = TSettings(path).ReadConvertOptions(TConvertOptions{});
    EXPECT_EQ(saved.OutputDirectory, latin1);
    EXPECT_EQ(saved.OutputPrefix, "\xE9t\xE9 ");
    // UTF-8 text shows as itself.
    EXPECT_EQ(ToQString("caf\xC3\xA9"), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(ToLocalString(QStringLiteral("caf\u00E9 \U0001F600")), "caf\xC3\xA9 \xF0\x9F\x98\x80");
}

} // namespace
