#include "ui/ToolsCommands.h"

#include "engine/Lumiva.h"
#include "ui/Icons.h"
#include "ui/LocalText.h"
#include "ui/MainForm.h"
#include "ui/MessageBox.h"
#include "ui/MessageDialog.h"
#include "ui/OptionsDialog.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"

#include <QClipboard>
#include <QGuiApplication>

TToolsCommands::TToolsCommands(TMainForm& Form, TLumiva& Converter) : Form(Form), Converter(Converter) {}

void TToolsCommands::CopyEncodingNames(QAction* Sender)
{
    TStringList names;
    if (Sender == Form.GroupedM1)
        Converter.GetGroups(names);
    else if (Sender == Form.UngroupedM1)
        Converter.GetNames(names);
    QGuiApplication::clipboard()->setText(ToQString(names.Text()));
}

void TToolsCommands::SystemInformation()
{
    // The terminal uses the locale's character set too, so both numbers are the same.
    const std::string codePage = std::to_string(CodePageOfLocale());
    ShowMessageBox("ANSI code-page indentifier: " + codePage + "\r\nOEM code-page indentifier: " + codePage,
                   MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND, QStringLiteral("System Information"), &Form);
}

void TToolsCommands::Options()
{
    Form.OptionsDialog->Execute();
}

void TToolsCommands::Help()
{
    const std::string& fileName = Form.HelpFileName;
    if (ShowMessageBox("The program opens the following document:\r\n\r\n" + fileName + "\r\n\r\nContinue?",
                       MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND, {}, &Form) != IDOK)
        return;
    if (!Form.OpenDocument || !Form.OpenDocument(QUrl::fromLocalFile(ToQString(fileName))))
        throw Exception("Cannot open \"" + fileName + "\"");
}

void TToolsCommands::About()
{
    TMessageDialog dialog;
    dialog.Title = "About";
    dialog.Message = "Lumiva\r\n\r\nConverts text files between character encodings, in batches.\r\n\r\n"
                     "Conversions by the C library's iconv.";
    dialog.Buttons.Add("OK");
    dialog.DefaultButton = 0;
    dialog.CancelButton = 0;
    dialog.FocusButton = 0;
    dialog.DialogType = dtCustomIcon;
    dialog.Icon = ApplicationIcon();
    dialog.Execute();
}
