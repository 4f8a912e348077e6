// The settings file: any text loads, every record reads, the text written back loads to the
// same text, and what the records read is what they write.

#include "settings/Settings.h"
#include "tests/common/SettingsSnapshot.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Never created: the settings start empty and take the fuzzer's text.
const std::string FileName = "/nonexistent-lumiva-fuzz/Lumiva/Settings.ini";

using TAll = lmvtest::TSettingsSnapshot;
using lmvtest::ReadAll;
using lmvtest::WriteAll;

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
