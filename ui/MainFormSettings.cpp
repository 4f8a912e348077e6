#include "ui/MainFormSettings.h"

#include "settings/FolderSettings.h"
#include "settings/OptionRules.h"
#include "settings/ReviewLayout.h"
#include "settings/Settings.h"
#include "ui/LocalText.h"
#include "ui/MessageBox.h"
#include "ui/OptionControls.h"
#include "ui/OptionsDialog.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"
#include "util/StringList.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QWidget>

namespace {

// Some platforms (Wayland) place windows themselves and ignore a program's position.
bool CanPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"), Qt::CaseInsensitive);
}

} // namespace

TMainFormSettings::TMainFormSettings(QWidget& Window, const std::string& FileName, TOptionsDialog& OptionsDialog,
                                     TOpenDialogList& DialogList, TOptionControls& Controls, TConvertOptions& Options,
                                     const QComboBox& EncodingNames, const TViewOptions& ViewOptions,
                                     TReviewLayout& ReviewLayout,
                                     std::function<void(const TViewOptions&)> SetViewOptions)
    : Window(Window), FileName(FileName), OptionsDialog(OptionsDialog), DialogList(DialogList), Controls(Controls),
      Options(Options), EncodingNames(EncodingNames), ViewOptions(ViewOptions), ReviewLayout(ReviewLayout),
      SetViewOptions(std::move(SetViewOptions))
{
}

void TMainFormSettings::LoadSettings()
{
    RetryOnError("The program cannot load settings from the following file:", [this] { Read(); });
}

void TMainFormSettings::SaveSettings()
{
    RetryOnError("The program cannot save settings to the following file:", [this] { Write(); });
}

void TMainFormSettings::RetryOnError(const std::string& Problem, const std::function<void()>& Step)
{
    if (FileName.empty())
        return;
    for (;;) {
        try {
            Step();
            return;
        } catch (...) {
            if (ShowMessageBox(Problem + "\r\n\r\n" + FileName + "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND, {}, &Window) != IDYES)
                return;
        }
    }
}

void TMainFormSettings::Read()
{
    // A file that cannot be read fails here, before any record is replaced.
    const TSettings settings(FileName);
    settings.ReadOpenDialogList(DialogList);
    // A value the window could not show as valid falls back to the current one, as a malformed
    // number does.
    const QComboBox* names = &EncodingNames;
    Options = UsableOptions(settings.ReadConvertOptions(Options), Options, [names](const std::string& Name) {
        for (int i = 0; i < names->count(); ++i)
            if (SameText(ToLocalString(names->itemText(i)), Name))
                return true;
        return names->count() == 0;
    });
    Controls.Show(Options);
    OptionsDialog.ConvertSpecs =
        UsableSpecs(settings.ReadConvertSpecs(OptionsDialog.ConvertSpecs), OptionsDialog.ConvertSpecs);
    OptionsDialog.AssistOptions = settings.ReadAssistOptions(OptionsDialog.AssistOptions);
    OptionsDialog.FolderOptions = ReadFolderOptions(settings, OptionsDialog.FolderOptions);
    SetViewOptions(settings.ReadViewOptions(ViewOptions));
    ReviewLayout = ReadReviewLayout(settings);
    if (ViewOptions.LastPosition) {
        int left = Window.pos().x();
        int top = Window.pos().y();
        settings.ReadLastPosition(left, top);
        if (CanPlaceWindows())
            Window.move(left, top);
    }
}

bool TMainFormSettings::SaveAtSessionEnd()
{
    if (FileName.empty())
        return true;
    try {
        Options = Controls.Read();
    } catch (const Exception&) {
        // A control that does not pass: the options read last are saved.
    }
    try {
        Write();
        return true;
    } catch (...) {
        return false;
    }
}

void TMainFormSettings::Write()
{
    // Reads the file first, so that what the program does not know survives the save.
    TSettings settings(FileName);
    settings.WriteOpenDialogList(DialogList);
    settings.WriteConvertOptions(Options);
    settings.WriteConvertSpecs(OptionsDialog.ConvertSpecs);
    settings.WriteAssistOptions(OptionsDialog.AssistOptions);
    settings.WriteViewOptions(ViewOptions);
    settings.WriteLastPosition(Window.pos().x(), Window.pos().y());
    // After every section above, so a first save stays the start of what was saved before.
    WriteFolderOptions(settings, OptionsDialog.FolderOptions);
    WriteReviewLayout(settings, ReviewLayout);
    settings.UpdateFile();
}
