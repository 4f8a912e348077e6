// The settings file: any text loads, every record reads, the text written back loads to the
// same text, and what the records read is what they write.

#include "settings/OpenDialogList.h"
#include "settings/Settings.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Never created: the settings start empty and take the fuzzer's text.
const std::string FileName = "/nonexistent-lumiva-fuzz/Lumiva/Settings.ini";

class TNoDialogs : public TFileDialogRunner {
public:
    bool Run(TFileDialog&) override { return false; }
};

struct TAll {
    TConvertOptions Convert;
    TConvertSpecs Specs;
    TAssistOptions Assist;
    TViewOptions View;
    int Left = 0;
    int Top = 0;
    std::string InitialDir;
    std::int32_t FilterIndexes[3] = {1, 1, 1};

    bool operator==(const TAll&) const = default;
};

TAll Defaults(int Variant)
{
    TAll all;
    all.Convert = DefaultConvertOptions();
    all.Specs = DefaultConvertSpecs();
    all.Assist = DefaultAssistOptions();
    all.View = DefaultViewOptions();
    if (Variant == 1) {
        all.Convert.FromEncoding = "other";
        all.Convert.BufferSize = -7;
        all.Convert.BackupSrcFiles = !all.Convert.BackupSrcFiles;
        all.Specs.Utf16 = 99;
        all.View.ToolBar = !all.View.ToolBar;
        all.Left = 12345;
        all.InitialDir = "/x";
        all.FilterIndexes[1] = 42;
    }
    return all;
}

TAll ReadAll(const TSettings& Settings, const TAll& Current)
{
    TAll all;
    all.Convert = Settings.ReadConvertOptions(Current.Convert);
    all.Specs = Settings.ReadConvertSpecs(Current.Specs);
    all.Assist = Settings.ReadAssistOptions(Current.Assist);
    all.View = Settings.ReadViewOptions(Current.View);
    all.Left = Current.Left;
    all.Top = Current.Top;
    Settings.ReadLastPosition(all.Left, all.Top);
    TNoDialogs runner;
    TOpenDialogList list(runner);
    TFileDialog dialogs[3];
    for (int i = 0; i < 3; ++i) {
        dialogs[i].FilterIndex = Current.FilterIndexes[i];
        list.Add(&dialogs[i]);
    }
    list.InitialDir = Current.InitialDir;
    Settings.ReadOpenDialogList(list);
    all.InitialDir = list.InitialDir;
    for (int i = 0; i < 3; ++i)
        all.FilterIndexes[i] = dialogs[i].FilterIndex;
    return all;
}

void WriteAll(TSettings& Settings, const TAll& All)
{
    Settings.WriteConvertOptions(All.Convert);
    Settings.WriteConvertSpecs(All.Specs);
    Settings.WriteAssistOptions(All.Assist);
    Settings.WriteViewOptions(All.View);
    Settings.WriteLastPosition(All.Left, All.Top);
    TNoDialogs runner;
    TOpenDialogList list(runner);
    TFileDialog dialogs[3];
    for (int i = 0; i < 3; ++i) {
        dialogs[i].FilterIndex = All.FilterIndexes[i];
        list.Add(&dialogs[i]);
    }
    list.InitialDir = All.InitialDir;
    Settings.WriteOpenDialogList(list);
}

void Check(bool Condition)
{
    if (!Condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TSettings settings(FileName);
    settings.SetText(std::string_view(reinterpret_cast<const char*>(Data), Size));
    const TAll read = ReadAll(settings, Defaults(0));
    const TAll readOther = ReadAll(settings, Defaults(1));

    // The text is a fixed point of loading, and loading it keeps every value.
    const std::string text = settings.Text();
    TSettings again(FileName);
    again.SetText(text);
    Check(again.Text() == text);
    Check(ReadAll(again, Defaults(0)) == read);
    Check(ReadAll(again, Defaults(1)) == readOther);

    // What was read writes without complaint, reads back whatever the fallbacks, and the text
    // stays a fixed point.
    WriteAll(again, read);
    Check(ReadAll(again, Defaults(1)) == read);
    const std::string written = again.Text();
    TSettings third(FileName);
    third.SetText(written);
    Check(third.Text() == written);
    Check(ReadAll(third, Defaults(1)) == read);
    return 0;
}
