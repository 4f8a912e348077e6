#pragma once

class QLabel;
class TMainForm;

// Builds the main window's widgets into the form's members under their object names: the menu,
// the tool bar, the option controls with their layout and tab order, the status bar; and
// describes the window's three file dialogs. Used once, while the form is constructed.
class TMainFormBuilder {
public:
    explicit TMainFormBuilder(TMainForm& Form);

    void CreateMenu();
    void CreateToolBar();
    void CreateControls();
    // Returns the label that shows the status text.
    QLabel* CreateStatusBar();
    void CreateDialogList();

private:
    TMainForm& Form;
};
