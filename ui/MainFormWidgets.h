#pragma once

#include "settings/OpenDialogList.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class TOptionsDialog;

// The main window's widgets, menu items and dialogs under their object names. The window holds
// them and TMainFormBuilder makes them; the window's helpers get them from here, not from the
// window, so that none of them depends on the window itself.
struct TMainFormWidgets {
    TOptionsDialog* OptionsDialog = nullptr;

    // The three file dialogs: 0 "Files", 1 "List", 2 "Save".
    TFileDialog OpenDialog1;
    TFileDialog OpenDialog2;
    TFileDialog SaveDialog1;
    // The folder chooser; outside the list, as it has no filter, but in its folder memory.
    TFileDialog FolderDialog1;

    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QLabel* Label21 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QLabel* Label22 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioButton11 = nullptr;
    QLineEdit* Edit11 = nullptr;
    QPushButton* Button11 = nullptr;
    QRadioButton* RadioButton12 = nullptr;
    QLineEdit* Edit12 = nullptr;
    QRadioButton* RadioButton13 = nullptr;
    QCheckBox* CheckBox11 = nullptr;
    QLineEdit* Edit13 = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* FilesT1 = nullptr;
    QToolButton* FolderT1 = nullptr;
    QToolButton* SwapFromAndToT1 = nullptr;
    QToolButton* OptionsT1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    // The label of the status bar that shows the status text.
    QLabel* StatusLabel = nullptr;

    QMenu* FileM1 = nullptr;
    QMenu* ConvertM1 = nullptr;
    QAction* FilesM1 = nullptr;
    QAction* ListM1 = nullptr;
    QAction* FolderM1 = nullptr;
    QMenu* CheckM1 = nullptr;
    QAction* FilesM2 = nullptr;
    QAction* ListM2 = nullptr;
    QAction* FolderM2 = nullptr;
    QAction* ExitM1 = nullptr;
    QMenu* EditM1 = nullptr;
    QAction* SwapFromAndToM1 = nullptr;
    QAction* DefaultM1 = nullptr;
    QMenu* ViewM1 = nullptr;
    QAction* ToolbarM1 = nullptr;
    QAction* StatusBarM1 = nullptr;
    QAction* LastPositionM1 = nullptr;
    QAction* TopmostM1 = nullptr;
    QAction* DefaultM2 = nullptr;
    QMenu* ToolsM1 = nullptr;
    QMenu* CopyEncodingNamesM1 = nullptr;
    QAction* GroupedM1 = nullptr;
    QAction* UngroupedM1 = nullptr;
    QAction* SystemInformationM1 = nullptr;
    QAction* OptionsM1 = nullptr;
    QMenu* HelpM1 = nullptr;
    QAction* HelpM2 = nullptr;
    QAction* AboutM1 = nullptr;
};
