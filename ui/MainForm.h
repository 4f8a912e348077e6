#pragma once

#include "engine/Lumiva.h"
#include "run/ConvertThread.h"
#include "run/RunQuestions.h"
#include "settings/ReviewLayout.h"
#include "settings/ConvertOptions.h"
#include "settings/OpenDialogList.h"
#include "settings/ViewOptions.h"
#include "util/StringList.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSessionManager;
class QStatusBar;
class QToolBar;
class QToolButton;
class TMainFormRun;
class TOptionControls;
class TOptionsDialog;
class TProgressDialog;
class TToolsCommands;

// The program's only top-level window: the conversion options as controls, checked when the user
// leaves them, the menu, the tool bar, the status bar, and the window's side of a run. The window
// keeps the handlers; the work is done by the classes it owns: TMainFormBuilder builds the widgets,
// TOptionControls fills, reads and checks the option controls, TMainFormRun runs conversions,
// TMainFormSettings loads and saves the settings, TToolsCommands carries out Tools and Help.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Converter is the engine built at start-up; the window owns it and lends it to every run.
    // ProgressDialog, FileDialogs and Questions must outlive the window. The settings are loaded
    // from SettingsFile while the window is built and saved to it when it closes; without a
    // file name the window keeps no settings.
    TMainForm(std::unique_ptr<TLumiva> Converter, TProgressDialog& ProgressDialog, TFileDialogRunner& FileDialogs,
              TRunQuestions& Questions, std::string SettingsFile = {}, QWidget* Parent = nullptr);
    ~TMainForm() override;

    static TConvertOptions DefaultConvertOptions();
    static TViewOptions DefaultViewOptions();

    // Options <-> controls.
    void SetControls(bool Defaults);
    void GetControls();
    void ValidateControl(QWidget* Control);
    [[noreturn]] void ControlError(QWidget* Control, const std::string& Message);
    void UpdateControlStates();
    void SetViewOptions(const TViewOptions& Options);
    void ApplyViewOptions();
    void SetStatusText(const std::string& Text);
    std::string StatusText() const;

    // Event handlers of the controls and the Edit, View and File menus.
    void ComboBoxExit(QWidget* Sender);
    // Enter (a carriage return or line feed) checks the box; the caller swallows such keys.
    void ComboBoxKeyPress(QWidget* Sender, int Key, const QString& Text);
    static bool IsLineBreakKey(int Key, const QString& Text);
    void EditExit(QWidget* Sender);
    void RadioButtonExit(QWidget* Sender);
    void RadioButtonClick();
    void CheckBoxClick();
    void ButtonClick();
    void ToolButtonClick(QToolButton* Sender);
    void SwapFromAndToM1Click();
    void DefaultM1Click();
    void ViewM1Click(QAction* Sender);
    void ExitM1Click();

    // Starting and finishing a run.
    void FilesM1Click();
    void ListM1Click();
    void FolderM1Click();
    // The same run that writes nothing.
    void FilesM2Click();
    void ListM2Click();
    void FolderM2Click();
    void WMDropFiles(const QList<QUrl>& Urls);
    void ConvertFiles(const TStringList& Files);

    // Tools and Help.
    void CopyEncodingNamesM1Click(QAction* Sender);
    void SystemInformationM1Click();
    void OptionsM1Click();
    void HelpM2Click();
    void AboutM1Click();

    // Start-up and shutdown.
    void ApplicationIdle();
    void CheckCommandParameters();
    // Raises when the window must stay open.
    void FormCloseQuery();
    void LoadSettings();
    void SaveSettings();
    // The desktop session is ending: Qt closes no window then, so the settings are saved here.
    void CommitDataRequest(QSessionManager& Manager);

    // The parameters the program was started with, without its own name and without the ones
    // Qt takes (set by the entry point).
    QStringList CommandParameters;
    // The help document, Help/index.html beside the executable.
    std::string HelpFileName;
    // The settings file; empty when the window keeps no settings.
    std::string SettingsFileName;
    // Opens a document with the desktop's application for it; false when it cannot.
    std::function<bool(const QUrl&)> OpenDocument;
    // Called once, right after the first idle step that follows the first show.
    std::function<void()> OnFirstIdle;

    TConvertOptions ConvertOptions;
    TViewOptions ViewOptions;
    // The Review window's size and column widths.
    TReviewLayout ReviewLayout;
    TOptionsDialog* OptionsDialog = nullptr;
    // The running worker, null between runs.
    TConvertThread* ConvertThread = nullptr;

    // The three file dialogs: 0 "Files", 1 "List", 2 "Save".
    TFileDialog OpenDialog1;
    TFileDialog OpenDialog2;
    TFileDialog SaveDialog1;
    // The folder chooser; outside the list, as it has no filter, but in its folder memory.
    TFileDialog FolderDialog1;
    TOpenDialogList DialogList;

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

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    // No tool-bar context menu: the View menu alone shows and hides the bars.
    QMenu* createPopupMenu() override;

private:
    void CreateConverter(std::unique_ptr<TLumiva> Engine);
    void InitializeWindow(std::unique_ptr<TLumiva> Engine);
    void ConnectHandlers();
    void UpdateViewChecks();
    void UpdateSwapState();

    std::unique_ptr<TLumiva> Converter;
    TProgressDialog& ProgressDialog;
    TRunQuestions& Questions;
    QLabel* StatusLabel = nullptr;
    std::unique_ptr<TOptionControls> Controls;
    std::unique_ptr<TMainFormRun> Run;
    std::unique_ptr<TToolsCommands> Tools;
    bool IdleArmed = false;
};
