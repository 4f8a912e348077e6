#include "ui/ToolsCommands.h"

#include "engine/Lumiva.h"
#include "ui/Icons.h"
#include "ui/LocalText.h"
#include "ui/MessageBox.h"
#include "ui/MessageDialog.h"
#include "ui/OptionsDialog.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"
#include "util/StringList.h"
#include "util/Version.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QUrl>
#include <QWidget>

#include <filesystem>
#include <system_error>

TToolsCommands::TToolsCommands(QWidget& Window, TOptionsDialog& OptionsDialog, TLumiva& Converter,
                               const std::string& HelpFileName, const std::function<bool(const QUrl&)>& OpenDocument)
    : Window(Window), OptionsDialog(OptionsDialog), Converter(Converter), HelpFileName(HelpFileName),
      OpenDocument(OpenDocument)
{
}

void TToolsCommands::CopyEncodingNamesM1Click(bool Grouped)
{
    TStringList names;
    if (Grouped)
        Converter.GetGroups(names);
    else
        Converter.GetNames(names);
    QGuiApplication::clipboard()->setText(ToQString(names.Text()));
}

void TToolsCommands::SystemInformationM1Click()
{
    // The terminal uses the locale's character set too, so both numbers are the same.
    const std::string codePage = std::to_string(CodePageOfLocale());
    ShowMessageBox("ANSI code-page indentifier: " + codePage + "\r\nOEM code-page indentifier: " + codePage,
                   MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND, QStringLiteral("System Information"), &Window);
}

void TToolsCommands::OptionsM1Click()
{
    OptionsDialog.Execute();
}

void TToolsCommands::HelpM2Click()
{
    const std::string& fileName = HelpFileName;
    if (ShowMessageBox("The program opens the following document:\r\n\r\n" + fileName + "\r\n\r\nContinue?",
                       MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND, {}, &Window) != IDOK)
        return;
    // The desktop reports success before it looks at the file, so a missing one is caught here.
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error) || !OpenDocument ||
        !OpenDocument(QUrl::fromLocalFile(ToQString(fileName))))
        throw Exception("Cannot open \"" + fileName + "\"");
}

void TToolsCommands::AboutM1Click()
{
    TMessageDialog dialog;
    dialog.Title = "About";
    dialog.Message = "Lumiva\r\n\r\nConverts text files between character encodings, in batches.\r\n\r\n"
                     "Conversions by the C library's iconv.\r\nVersion " +
                     std::string(LumivaVersion());
    dialog.Buttons.Add("OK");
    dialog.DefaultButton = 0;
    dialog.CancelButton = 0;
    dialog.FocusButton = 0;
    dialog.DialogType = dtCustomIcon;
    dialog.Icon = ApplicationIcon();
    dialog.Execute();
}
