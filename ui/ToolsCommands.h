#pragma once

class QAction;
class TLumiva;
class TMainForm;

// The Tools and Help menus' commands of the main window: copying the encoding names, the system
// information, the options dialog, the help document and the About box. The window creates it
// once its engine exists and owns it.
class TToolsCommands {
public:
    TToolsCommands(TMainForm& Form, TLumiva& Converter);

    // Sender is GroupedM1 or UngroupedM1.
    void CopyEncodingNames(QAction* Sender);
    void SystemInformation();
    void Options();
    void Help();
    void About();

private:
    TMainForm& Form;
    TLumiva& Converter;
};
