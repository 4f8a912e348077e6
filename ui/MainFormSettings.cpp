#include "ui/MainFormSettings.h"

#include "settings/FolderSettings.h"
#include "settings/OptionRules.h"
#include "settings/ReviewLayout.h"
#include "settings/Settings.h"
#include "ui/LocalText.h"
#include "ui/MainForm.h"
#include "ui/MessageBox.h"
#include "ui/OptionsDialog.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"

#include <QComboBox>
#include <QGuiApplication>

namespace {

// Some platforms (Wayland) place windows themselves and ignore a program's position.
bool CanPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"), Qt::CaseInsensitive);
}

} // namespace

TMainFormSettings::TMainFormSettings(TMainForm& Form) : Form(Form) {}

void TMainFormSettings::Load()
{
    RetryOnError("The program cannot load settings from the following file:", [this] { Read(); });
}

void TMainFormSettings::Save()
{
    RetryOnError("The program cannot save settings to the following file:", [this] { Write(); });
}

void TMainFormSettings::RetryOnError(const std::string& Problem, const std::function<void()>& Step)
{
    if (Form.SettingsFileName.empty())
        return;
    for (;;) {
        try {
            Step();
            return;
        } catch (...) {
            if (ShowMessageBox(Problem + "\r\n\r\n" + Form.SettingsFileName + "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND, {}, &Form) != IDYES)
                return;
        }
    }
}

void TMainFormSettings::Read()
{
    // A file that cannot be read fails here, before any record is replaced.
    const TSettings settings(Form.SettingsFileName);
    settings.ReadOpenDialogList(Form.DialogList);
    // A value the window could not show as valid falls back to the current one, as a malformed
    // number does.
    const QComboBox* names = Form.ComboBox2;
    Form.ConvertOptions =
        UsableOptions(settings.ReadConvertOptions(Form.ConvertOptions), Form.ConvertOptions,
                      [names](const std::string& Name) {
                          for (int i = 0; i < names->count(); ++i)
                              if (SameText(ToLocalString(names->itemText(i)), Name))
                                  return true;
                          return names->count() == 0;
                      });
    Form.SetControls(false);
    Form.OptionsDialog->ConvertSpecs =
        UsableSpecs(settings.ReadConvertSpecs(Form.OptionsDialog->ConvertSpecs), Form.OptionsDialog->ConvertSpecs);
    Form.OptionsDialog->AssistOptions = settings.ReadAssistOptions(Form.OptionsDialog->AssistOptions);
    Form.OptionsDialog->FolderOptions = ReadFolderOptions(settings, Form.OptionsDialog->FolderOptions);
    Form.SetViewOptions(settings.ReadViewOptions(Form.ViewOptions));
    Form.ReviewLayout = ReadReviewLayout(settings);
    if (Form.ViewOptions.LastPosition) {
        int left = Form.pos().x();
        int top = Form.pos().y();
        settings.ReadLastPosition(left, top);
        if (CanPlaceWindows())
            Form.move(left, top);
    }
}

bool TMainFormSettings::SaveAtSessionEnd()
{
    if (Form.SettingsFileName.empty())
        return true;
    try {
        Form.GetControls();
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
    TSettings settings(Form.SettingsFileName);
    settings.WriteOpenDialogList(Form.DialogList);
    settings.WriteConvertOptions(Form.ConvertOptions);
    settings.WriteConvertSpecs(Form.OptionsDialog->ConvertSpecs);
    settings.WriteAssistOptions(Form.OptionsDialog->AssistOptions);
    settings.WriteViewOptions(Form.ViewOptions);
    settings.WriteLastPosition(Form.pos().x(), Form.pos().y());
    // After every section above, so a first save stays the start of what was saved before.
    WriteFolderOptions(settings, Form.OptionsDialog->FolderOptions);
    WriteReviewLayout(settings, Form.ReviewLayout);
    settings.UpdateFile();
}
