#include "ui/MainForm.h"

#include "ui/Icons.h"
#include "ui/LocalText.h"
#include "ui/MainFormBuilder.h"
#include "ui/MainFormRun.h"
#include "ui/MainFormSettings.h"
#include "ui/MessageBox.h"
#include "ui/OptionControls.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgressDialog.h"
#include "ui/ToolsCommands.h"
#include "settings/AutoDetect.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"
#include "util/Mysysutils.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSessionManager>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

// The executable's folder with a trailing '/'.
std::string ProgramDir()
{
    std::string folder = GetLongFileName(ToLocalString(QCoreApplication::applicationDirPath()));
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

TMainForm::TMainForm(std::unique_ptr<TLumiva> Converter, TProgressDialog& ProgressDialog,
                     TFileDialogRunner& FileDialogs, TRunQuestions& Questions, std::string SettingsFile,
                     QWidget* Parent)
    : QMainWindow(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ConvertOptions(::DefaultConvertOptions()), ViewOptions(::DefaultViewOptions()), DialogList(FileDialogs),
      ProgressDialog(ProgressDialog), Questions(Questions)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(ApplicationTitle());
    setWindowIcon(ApplicationIcon());
    HelpFileName = ProgramDir() + "Help/index.html";
    SettingsFileName = std::move(SettingsFile);
    OpenDocument = [](const QUrl& Url) { return QDesktopServices::openUrl(Url); };

    TMainFormBuilder builder(*this, *this);
    builder.CreateMenu();
    builder.CreateToolBar();
    builder.CreateControls();
    builder.CreateStatusBar();
    builder.CreateDialogList(DialogList);
    Controls = std::make_unique<TOptionControls>(*this, *this);
    ConnectHandlers();
    // Not resizable: the window always has the size of its contents, also when bars are hidden.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    InitializeWindow(std::move(Converter));
}

TMainForm::~TMainForm() = default;

void TMainForm::ConnectHandlers()
{
    for (QWidget* control : {static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(ComboBox2),
                             static_cast<QWidget*>(ComboBox3), static_cast<QWidget*>(Edit1),
                             static_cast<QWidget*>(Edit11), static_cast<QWidget*>(Edit12),
                             static_cast<QWidget*>(Edit13), static_cast<QWidget*>(RadioButton11),
                             static_cast<QWidget*>(RadioButton12), static_cast<QWidget*>(RadioButton13)})
        Controls->Watch(control);

    auto guarded = [this](auto Body) {
        return [this, Body] { Guarded(Body, this); };
    };
    for (QRadioButton* button : {RadioButton11, RadioButton12, RadioButton13})
        connect(button, &QRadioButton::toggled, this, guarded([this] { Controls->UpdateControlStates(); }));
    connect(CheckBox11, &QCheckBox::toggled, this, guarded([this] { Controls->UpdateControlStates(); }));
    connect(Button11, &QPushButton::clicked, this, guarded([this] { ButtonClick(); }));
    connect(SwapFromAndToT1->defaultAction(), &QAction::triggered, this, guarded([this] { SwapFromAndToM1Click(); }));
    connect(ExitM1, &QAction::triggered, this, guarded([this] { ExitM1Click(); }));
    connect(SwapFromAndToM1, &QAction::triggered, this, guarded([this] { SwapFromAndToM1Click(); }));
    connect(ComboBox1, &QComboBox::editTextChanged, this, guarded([this] { UpdateSwapState(); }));
    connect(DefaultM1, &QAction::triggered, this, guarded([this] { DefaultM1Click(); }));
    for (QAction* item : {ToolbarM1, StatusBarM1, LastPositionM1, TopmostM1, DefaultM2})
        connect(item, &QAction::triggered, this, [this, item] {
            Guarded([this, item] { ViewM1Click(item); }, this);
            // The check marks follow the options, whatever the command did.
            UpdateViewChecks();
        });
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager& Manager) { Guarded([&] { CommitDataRequest(Manager); }, this); });
}

// The commands that go straight to the helpers: runs, Tools and Help, and their tool buttons.
void TMainForm::ConnectCommands()
{
    auto guarded = [this](auto Body) {
        return [this, Body] { Guarded(Body, this); };
    };
    TMainFormRun& run = *Run;
    for (QAction* item : {FilesM1, FilesT1->defaultAction()})
        connect(item, &QAction::triggered, this, guarded([&run] { run.FilesM1Click(); }));
    connect(ListM1, &QAction::triggered, this, guarded([&run] { run.ListM1Click(); }));
    for (QAction* item : {FolderM1, FolderT1->defaultAction()})
        connect(item, &QAction::triggered, this, guarded([&run] { run.FolderM1Click(); }));
    connect(FilesM2, &QAction::triggered, this, guarded([&run] { run.FilesM1Click(true); }));
    connect(ListM2, &QAction::triggered, this, guarded([&run] { run.ListM1Click(true); }));
    connect(FolderM2, &QAction::triggered, this, guarded([&run] { run.FolderM1Click(true); }));

    TToolsCommands& tools = *Tools;
    connect(GroupedM1, &QAction::triggered, this, guarded([&tools] { tools.CopyEncodingNamesM1Click(true); }));
    connect(UngroupedM1, &QAction::triggered, this, guarded([&tools] { tools.CopyEncodingNamesM1Click(false); }));
    connect(SystemInformationM1, &QAction::triggered, this, guarded([&tools] { tools.SystemInformationM1Click(); }));
    for (QAction* item : {OptionsM1, OptionsT1->defaultAction()})
        connect(item, &QAction::triggered, this, guarded([&tools] { tools.OptionsM1Click(); }));
    connect(HelpM2, &QAction::triggered, this, guarded([&tools] { tools.HelpM2Click(); }));
    connect(AboutM1, &QAction::triggered, this, guarded([&tools] { tools.AboutM1Click(); }));
}

void TMainForm::InitializeWindow(std::unique_ptr<TLumiva> NewConverter)
{
    OptionsDialog = new TOptionsDialog(this);
    // The idle step is armed when the window is first shown (showEvent).
    setAcceptDrops(true);
    CreateConverter(std::move(NewConverter));
    Run = std::make_unique<TMainFormRun>(*this, *this, DialogList, *Controls, ConvertOptions, *Converter,
                                         ProgressDialog, Questions, ReviewLayout);
    Tools = std::make_unique<TToolsCommands>(*this, *OptionsDialog, *Converter, HelpFileName, OpenDocument);
    Settings = std::make_unique<TMainFormSettings>(*this, SettingsFileName, *OptionsDialog, DialogList, *Controls,
                                                   ConvertOptions, *ComboBox2, ViewOptions, ReviewLayout,
                                                   [this](const TViewOptions& Options) { SetViewOptions(Options); });
    ConnectCommands();
    SetControls(true);
    ApplyViewOptions();
    Settings->LoadSettings();
    SetStatusText("Ready");
}

void TMainForm::CreateConverter(std::unique_ptr<TLumiva> NewConverter)
{
    if (!NewConverter)
        throw Exception("No conversion engine");
    Converter = std::move(NewConverter);
    TStringList names;
    Converter->GetNames(names);
    QStringList items;
    items.reserve(static_cast<qsizetype>(names.Count()));
    for (const std::string& name : names)
        items << ToQString(name);
    // Filled once, in the engine's order, which is already sorted. Detection is a choice for
    // the source only.
    ComboBox1->addItem(QString::fromLatin1(AutoDetectEncoding));
    ComboBox1->addItems(items);
    ComboBox2->addItems(items);
}

// "Auto-detect" has no place in the To list: there is nothing to swap it with.
void TMainForm::UpdateSwapState()
{
    const bool canSwap = !IsAutoDetect(ToLocalString(ComboBox1->currentText()));
    SwapFromAndToM1->setEnabled(canSwap);
    SwapFromAndToT1->setEnabled(canSwap);
}

// ---------------------------------------------------------------------------------------------
// Options and controls

void TMainForm::SetControls(bool Defaults)
{
    Controls->Show(Defaults ? ::DefaultConvertOptions() : ConvertOptions);
}

void TMainForm::GetControls()
{
    ConvertOptions = Controls->Read();
}

void TMainForm::SetViewOptions(const TViewOptions& Options)
{
    if (Options == ViewOptions)
        return;
    ViewOptions = Options;
    ApplyViewOptions();
}

void TMainForm::ApplyViewOptions()
{
    ToolBar1->setVisible(ViewOptions.ToolBar);
    StatusBar1->setVisible(ViewOptions.StatusBar);

    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != ViewOptions.Topmost) {
        // Changing the flag hides the window; it comes back where it was, with the same size.
        const bool shown = isVisible();
        const bool active = isActiveWindow();
        const QPoint place = pos();
        setWindowFlag(Qt::WindowStaysOnTopHint, ViewOptions.Topmost);
        if (shown) {
            move(place);
            show();
            if (active)
                activateWindow();
        }
    }
    if (ViewOptions.Topmost && isVisible())
        raise();
    UpdateViewChecks();
}

void TMainForm::UpdateViewChecks()
{
    ToolbarM1->setChecked(ViewOptions.ToolBar);
    StatusBarM1->setChecked(ViewOptions.StatusBar);
    LastPositionM1->setChecked(ViewOptions.LastPosition);
    TopmostM1->setChecked(ViewOptions.Topmost);
}

void TMainForm::SetStatusText(const std::string& Text)
{
    StatusLabel->setText(ToQString(Text));
}

std::string TMainForm::StatusText() const
{
    return ToLocalString(StatusLabel->text());
}

// ---------------------------------------------------------------------------------------------
// Control events and the Edit, View and File menus

void TMainForm::ButtonClick()
{
    const QString current = Edit11->text();
    const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current : QDir::homePath();
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Select the output directory."), start,
                                          QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        Edit11->setText(QDir::toNativeSeparators(folder));
}

void TMainForm::SwapFromAndToM1Click()
{
    Controls->RunExitChecks();
    QWidget* focused = Controls->ActiveControl();
    if (focused)
        Controls->ValidateControl(focused);
    const QString from = ComboBox1->currentText();
    if (IsAutoDetect(ToLocalString(from)))
        return;
    ComboBox1->setEditText(ComboBox2->currentText());
    ComboBox2->setEditText(from);
    if (focused == ComboBox1 || focused == ComboBox2) {
        // Focused again, the box shows its new text from the start, selected.
        Controls->FocusQuietly(nullptr);
        Controls->FocusQuietly(focused);
    }
}

void TMainForm::DefaultM1Click()
{
    if (ShowMessageBox("Set default values?", MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND, {}, this) == IDOK)
        SetControls(true);
}

void TMainForm::ViewM1Click(QAction* Sender)
{
    TViewOptions options = ViewOptions;
    if (Sender == ToolbarM1) {
        options.ToolBar = !options.ToolBar;
    } else if (Sender == StatusBarM1) {
        options.StatusBar = !options.StatusBar;
    } else if (Sender == LastPositionM1) {
        options.LastPosition = !options.LastPosition;
    } else if (Sender == TopmostM1) {
        options.Topmost = !options.Topmost;
    } else if (Sender == DefaultM2) {
        if (ShowMessageBox("Set default values?", MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND, {}, this) != IDOK)
            return;
        options = ::DefaultViewOptions();
    }
    SetViewOptions(options);
}

void TMainForm::ExitM1Click()
{
    close();
}

// ---------------------------------------------------------------------------------------------
// Start-up, shutdown and window events

void TMainForm::CheckCommandParameters()
{
    if (!CommandParameters.isEmpty())
        ShowMessageBox("This application does not process command parameters.",
                       MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND, {}, this);
}

void TMainForm::FormCloseQuery()
{
    // The worker reports to this window until its end; a close request then (the session ending)
    // must wait for it.
    if (Run->ConvertThread)
        throw Exception("A conversion is in progress");
    GetControls();
    Settings->SaveSettings();
}

void TMainForm::CommitDataRequest(QSessionManager& Manager)
{
    // Asking is for when the file cannot be written, and needs the session manager's leave.
    if (!Settings->SaveAtSessionEnd() && Manager.allowsInteraction()) {
        Settings->SaveSettings();
        Manager.release();
    }
}

void TMainForm::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (!IdleArmed) {
        IdleArmed = true;
        QTimer::singleShot(0, this, [this] {
            Guarded([this] { CheckCommandParameters(); }, this);
            if (OnFirstIdle)
                Guarded([this] { OnFirstIdle(); }, this);
        });
    }
}

void TMainForm::closeEvent(QCloseEvent* Event)
{
    bool canClose = false;
    Guarded(
        [&] {
            FormCloseQuery();
            canClose = true;
        },
        this);
    Event->setAccepted(canClose);
}

namespace {

bool HasLocalFiles(const QMimeData* Data)
{
    if (!Data || !Data->hasUrls())
        return false;
    for (const QUrl& url : Data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

} // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* Event)
{
    if (HasLocalFiles(Event->mimeData()))
        Event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* Event)
{
    if (HasLocalFiles(Event->mimeData()))
        Event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* Event)
{
    if (!HasLocalFiles(Event->mimeData()))
        return;
    const QList<QUrl> urls = Event->mimeData()->urls();
    Event->acceptProposedAction();
    // The drop ends first: the source program waits for it, and a run is a modal loop.
    QTimer::singleShot(0, this, [this, urls] { Guarded([&] { Run->WMDropFiles(urls); }, this); });
}

QMenu* TMainForm::createPopupMenu()
{
    return nullptr;
}
