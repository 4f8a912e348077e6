#pragma once

// Everything TSettings reads and writes, as one value, for tests and fuzzers that compare whole
// loads. Header-only, so that only its users link the settings code.

#include "settings/OpenDialogList.h"
#include "settings/Settings.h"

#include <array>
#include <cstdint>
#include <string>

namespace lmvtest {

struct TSettingsSnapshot {
    TConvertOptions Convert;
    TConvertSpecs Specs;
    TAssistOptions Assist;
    TViewOptions View;
    int Left = 0;
    int Top = 0;
    std::string InitialDir;
    std::array<std::int32_t, 3> FilterIndexes{1, 1, 1};

    bool operator==(const TSettingsSnapshot&) const = default;
};

namespace snapshot_detail {

class TNoDialogs : public TFileDialogRunner {
public:
    bool Run(TFileDialog&) override { return false; }
};

// The three dialogs of a window, as the settings see them.
struct TDialogs {
    TNoDialogs Runner;
    TOpenDialogList List{Runner};
    TFileDialog Dialogs[3];

    explicit TDialogs(const TSettingsSnapshot& From)
    {
        for (std::size_t i = 0; i < 3; ++i) {
            Dialogs[i].FilterIndex = From.FilterIndexes[i];
            List.Add(&Dialogs[i]);
        }
        List.InitialDir = From.InitialDir;
    }
};

} // namespace snapshot_detail

// Every read, each with Current's value as the fallback.
inline TSettingsSnapshot ReadAll(const TSettings& Settings, const TSettingsSnapshot& Current)
{
    TSettingsSnapshot all;
    all.Convert = Settings.ReadConvertOptions(Current.Convert);
    all.Specs = Settings.ReadConvertSpecs(Current.Specs);
    all.Assist = Settings.ReadAssistOptions(Current.Assist);
    all.View = Settings.ReadViewOptions(Current.View);
    all.Left = Current.Left;
    all.Top = Current.Top;
    Settings.ReadLastPosition(all.Left, all.Top);
    snapshot_detail::TDialogs dialogs(Current);
    Settings.ReadOpenDialogList(dialogs.List);
    all.InitialDir = dialogs.List.InitialDir;
    for (std::size_t i = 0; i < 3; ++i)
        all.FilterIndexes[i] = dialogs.Dialogs[i].FilterIndex;
    return all;
}

// Every write, in the order the window saves them.
inline void WriteAll(TSettings& Settings, const TSettingsSnapshot& All)
{
    snapshot_detail::TDialogs dialogs(All);
    Settings.WriteOpenDialogList(dialogs.List);
    Settings.WriteConvertOptions(All.Convert);
    Settings.WriteConvertSpecs(All.Specs);
    Settings.WriteAssistOptions(All.Assist);
    Settings.WriteViewOptions(All.View);
    Settings.WriteLastPosition(All.Left, All.Top);
}

} // namespace lmvtest
