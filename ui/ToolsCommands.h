#pragma once

#include <functional>
#include <string>

class QUrl;
class QWidget;
class TLumiva;
class TOptionsDialog;

// The Tools and Help menus' commands of the main window: copying the encoding names, the system
// information, the options dialog, the help document and the About box. The window creates it
// once its engine exists and owns it; HelpFileName and OpenDocument are the window's, read at
// each use.
class TToolsCommands {
public:
    TToolsCommands(QWidget& Window, TOptionsDialog& OptionsDialog, TLumiva& Converter,
                   const std::string& HelpFileName, const std::function<bool(const QUrl&)>& OpenDocument);

    // Grouped (GroupedM1) or one name a line (UngroupedM1).
    void CopyEncodingNamesM1Click(bool Grouped);
    void SystemInformationM1Click();
    void OptionsM1Click();
    void HelpM2Click();
    void AboutM1Click();

private:
    QWidget& Window;
    TOptionsDialog& OptionsDialog;
    TLumiva& Converter;
    const std::string& HelpFileName;
    const std::function<bool(const QUrl&)>& OpenDocument;
};
