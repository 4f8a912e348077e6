#pragma once

#include "engine/Lumiva.h"
#include "run/RunQuestions.h"
#include "settings/ReviewLayout.h"
#include "settings/ConvertOptions.h"
#include "settings/OpenDialogList.h"
#include "settings/ViewOptions.h"
#include "ui/MainFormWidgets.h"

#include <QMainWindow>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>

class QSessionManager;
class TMainFormRun;
class TMainFormSettings;
class TOptionControls;
class TProgressDialog;
class TToolsCommands;

// The program's only top-level window: the conversion options as controls, checked when the user
// leaves them, the menu, the tool bar and the status bar. The window keeps the records and the
// handlers of its own commands (Edit, View, Exit, start-up and close); the other commands go
// straight to the helpers it owns, which get what they need, not the window: TMainFormBuilder
// builds the widgets, TOptionControls fills, reads and checks the option controls, TMainFormRun
// runs conversions, TMainFormSettings loads and saves the settings, TToolsCommands carries out
// Tools and Help.
class TMainForm : public QMainWindow, public TMainFormWidgets {
    Q_OBJECT
public:
    // Converter is the engine built at start-up; the window owns it and lends it to every run.
    // ProgressDialog, FileDialogs and Questions must outlive the window. The settings are loaded
    // from SettingsFile while the window is built and saved to it when it closes; without a
    // file name the window keeps no settings.
    TMainForm(std::unique_ptr<TLumiva> Converter, TProgressDialog& ProgressDialog, TFileDialogRunner& FileDialogs,
              TRunQuestions& Questions, std::string SettingsFile = {}, QWidget* Parent = nullptr);
    ~TMainForm() override;

    // Options <-> controls.
    void SetControls(bool Defaults);
    void GetControls();
    void SetViewOptions(const TViewOptions& Options);
    void ApplyViewOptions();
    void SetStatusText(const std::string& Text);
    std::string StatusText() const;

    // Event handlers of the Edit, View and File menus and the output directory's button.
    void ButtonClick();
    void SwapFromAndToM1Click();
    void DefaultM1Click();
    void ViewM1Click(QAction* Sender);
    void ExitM1Click();

    // Start-up and shutdown.
    void CheckCommandParameters();
    // Raises when the window must stay open.
    void FormCloseQuery();
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
    TOpenDialogList DialogList;

    // The helpers, made once the engine exists.
    std::unique_ptr<TOptionControls> Controls;
    std::unique_ptr<TMainFormRun> Run;
    std::unique_ptr<TMainFormSettings> Settings;
    std::unique_ptr<TToolsCommands> Tools;

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    // No tool-bar context menu: the View menu alone shows and hides the bars.
    QMenu* createPopupMenu() override;

private:
    void CreateConverter(std::unique_ptr<TLumiva> NewConverter);
    void InitializeWindow(std::unique_ptr<TLumiva> NewConverter);
    void ConnectHandlers();
    void ConnectCommands();
    void UpdateViewChecks();
    void UpdateSwapState();

    std::unique_ptr<TLumiva> Converter;
    TProgressDialog& ProgressDialog;
    TRunQuestions& Questions;
    bool IdleArmed = false;
};
