#pragma once

class QMainWindow;
struct TMainFormWidgets;
class TOpenDialogList;

// Builds the main window's widgets into Form under their object names: the menu, the tool bar,
// the option controls with their layout and tab order, the status bar; and describes the
// window's three file dialogs. Used once, while the window is constructed.
class TMainFormBuilder {
public:
    TMainFormBuilder(QMainWindow& Window, TMainFormWidgets& Form);

    void CreateMenu();
    void CreateToolBar();
    void CreateControls();
    void CreateStatusBar();
    void CreateDialogList(TOpenDialogList& DialogList);

private:
    QMainWindow& Window;
    TMainFormWidgets& Form;
};
