#include "ui/MainFormSettings.h"

#include "settings/Settings.h"
#include "ui/MainForm.h"
#include "ui/MessageBox.h"
#include "ui/OptionsDialog.h"
#include "util/MessageBoxFlags.h"

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
    if (Form.SettingsFileName.empty())
        return;
    for (;;) {
        try {
            // A file that cannot be read fails here, before any record is replaced.
            const TSettings settings(Form.SettingsFileName);
            settings.ReadOpenDialogList(Form.DialogList);
            Form.ConvertOptions = settings.ReadConvertOptions(Form.ConvertOptions);
            Form.SetControls(false);
            Form.OptionsDialog->ConvertSpecs = settings.ReadConvertSpecs(Form.OptionsDialog->ConvertSpecs);
            Form.OptionsDialog->AssistOptions = settings.ReadAssistOptions(Form.OptionsDialog->AssistOptions);
            Form.SetViewOptions(settings.ReadViewOptions(Form.ViewOptions));
            if (Form.ViewOptions.LastPosition) {
                int left = Form.pos().x();
                int top = Form.pos().y();
                settings.ReadLastPosition(left, top);
                if (CanPlaceWindows())
                    Form.move(left, top);
            }
            return;
        } catch (...) {
            if (ShowMessageBox("The program cannot load settings from the following file:\r\n\r\n" +
                                   Form.SettingsFileName + "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND, {}, &Form) != IDYES)
                return;
        }
    }
}

void TMainFormSettings::Save()
{
    if (Form.SettingsFileName.empty())
        return;
    for (;;) {
        try {
            // Reads the file first, so that what the program does not know survives the save.
            TSettings settings(Form.SettingsFileName);
            settings.WriteOpenDialogList(Form.DialogList);
            settings.WriteConvertOptions(Form.ConvertOptions);
            settings.WriteConvertSpecs(Form.OptionsDialog->ConvertSpecs);
            settings.WriteAssistOptions(Form.OptionsDialog->AssistOptions);
            settings.WriteViewOptions(Form.ViewOptions);
            settings.WriteLastPosition(Form.pos().x(), Form.pos().y());
            settings.UpdateFile();
            return;
        } catch (...) {
            if (ShowMessageBox("The program cannot save settings to the following file:\r\n\r\n" +
                                   Form.SettingsFileName + "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND, {}, &Form) != IDYES)
                return;
        }
    }
}
