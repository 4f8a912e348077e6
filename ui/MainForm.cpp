#include "ui/MainForm.h"

#include "settings/OptionRules.h"
#include "settings/Settings.h"
#include "ui/Icons.h"
#include "ui/MessageBox.h"
#include "ui/MessageDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgressDialog.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/IntegerText.h"
#include "util/MessageBoxFlags.h"
#include "util/Mysysutils.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

namespace {

const char* const FilesFilter = "Text files (*.txt)|*.txt|HTML files (*.htm;*.html)|*.htm;*.html|All files (*)|*";
const char* const TextFilter = "Text files (*.txt)|*.txt|All files (*)|*";

QString Local(const std::string& Text)
{
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string Local8(const QString& Text)
{
    return Text.toLocal8Bit().toStdString();
}

std::string TextOf(const QLineEdit* Edit)
{
    return Local8(Edit->text());
}

std::string TextOf(const QComboBox* Box)
{
    return Local8(Box->currentText());
}

// The executable's folder with a trailing '/'.
std::string ProgramDir()
{
    std::string folder = GetLongFileName(Local8(QCoreApplication::applicationDirPath()));
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// Some platforms (Wayland) place windows themselves and ignore a program's position.
bool CanPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"), Qt::CaseInsensitive);
}

// Counts up while alive: the focus moves the program makes itself start no leave checks.
class TSuppress {
public:
    explicit TSuppress(int& Counter) : Counter(Counter) { ++Counter; }
    ~TSuppress() { --Counter; }
    TSuppress(const TSuppress&) = delete;
    TSuppress& operator=(const TSuppress&) = delete;

private:
    int& Counter;
};

} // namespace

TMainForm::TMainForm(std::unique_ptr<TLumiva> Engine, TProgressDialog& ProgressDialog, TFileDialogRunner& FileDialogs,
                     TRunQuestions& Questions, std::string SettingsFile, QWidget* Parent)
    : QMainWindow(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ConvertOptions(DefaultConvertOptions()), ViewOptions(DefaultViewOptions()), DialogList(FileDialogs),
      ProgressDialog(ProgressDialog), Questions(Questions)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(ApplicationTitle());
    setWindowIcon(ApplicationIcon());
    HelpFileName = ProgramDir() + "Help/index.html";
    SettingsFileName = std::move(SettingsFile);
    OpenDocument = [](const QUrl& Url) { return QDesktopServices::openUrl(Url); };

    CreateMenu();
    CreateToolBar();
    CreateControls();
    ConnectHandlers();
    // Not resizable: the window always has the size of its contents, also when bars are hidden.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    InitializeWindow(std::move(Engine));
}

TMainForm::~TMainForm() = default;

TConvertOptions TMainForm::DefaultConvertOptions()
{
    return ::DefaultConvertOptions();
}

TViewOptions TMainForm::DefaultViewOptions()
{
    return ::DefaultViewOptions();
}

// ---------------------------------------------------------------------------------------------
// Construction

void TMainForm::CreateMenu()
{
    auto action = [this](QMenu* Menu, const char* Name, const char* Caption, QKeySequence Shortcut = {}) {
        QAction* item = Menu->addAction(QString::fromLatin1(Caption));
        item->setObjectName(QString::fromLatin1(Name));
        if (!Shortcut.isEmpty())
            item->setShortcut(Shortcut);
        return item;
    };
    auto menu = [](QWidget* Owner, const char* Name, const char* Caption) {
        auto* result = new QMenu(QString::fromLatin1(Caption), Owner);
        result->setObjectName(QString::fromLatin1(Name));
        return result;
    };

    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    FileM1 = menu(bar, "FileM1", "&File");
    ConvertM1 = menu(FileM1, "ConvertM1", "&Convert");
    FileM1->addMenu(ConvertM1);
    FilesM1 = action(ConvertM1, "FilesM1", "&Files...", QKeySequence(Qt::CTRL | Qt::Key_O));
    ListM1 = action(ConvertM1, "ListM1", "&List...", QKeySequence(Qt::CTRL | Qt::Key_L));
    FileM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM1"));
    ExitM1 = action(FileM1, "ExitM1", "E&xit");
    bar->addMenu(FileM1);

    EditM1 = menu(bar, "EditM1", "&Edit");
    SwapFromAndToM1 = action(EditM1, "SwapFromAndToM1", "&Swap From and To", QKeySequence(Qt::CTRL | Qt::Key_W));
    EditM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM2"));
    DefaultM1 = action(EditM1, "DefaultM1", "&Default...");
    bar->addMenu(EditM1);

    ViewM1 = menu(bar, "ViewM1", "&View");
    ToolbarM1 = action(ViewM1, "ToolbarM1", "&Toolbar");
    StatusBarM1 = action(ViewM1, "StatusBarM1", "&Status Bar");
    ViewM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM3"));
    LastPositionM1 = action(ViewM1, "LastPositionM1", "&Last Position");
    TopmostM1 = action(ViewM1, "TopmostM1", "T&opmost");
    ViewM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM4"));
    DefaultM2 = action(ViewM1, "DefaultM2", "&Default...");
    for (QAction* item : {ToolbarM1, StatusBarM1, LastPositionM1, TopmostM1})
        item->setCheckable(true);
    bar->addMenu(ViewM1);

    ToolsM1 = menu(bar, "ToolsM1", "&Tools");
    CopyEncodingNamesM1 = menu(ToolsM1, "CopyEncodingNamesM1", "&Copy Encoding Names");
    ToolsM1->addMenu(CopyEncodingNamesM1);
    GroupedM1 = action(CopyEncodingNamesM1, "GroupedM1", "&Grouped");
    UngroupedM1 = action(CopyEncodingNamesM1, "UngroupedM1", "&Ungrouped");
    SystemInformationM1 =
        action(ToolsM1, "SystemInformationM1", "&System Information", QKeySequence(Qt::CTRL | Qt::Key_I));
    ToolsM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM5"));
    OptionsM1 = action(ToolsM1, "OptionsM1", "&Options...", QKeySequence(Qt::CTRL | Qt::Key_P));
    bar->addMenu(ToolsM1);

    HelpM1 = menu(bar, "HelpM1", "&Help");
    HelpM2 = action(HelpM1, "HelpM2", "&Help...", QKeySequence(Qt::Key_F1));
    HelpM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM6"));
    AboutM1 = action(HelpM1, "AboutM1", "&About");
    bar->addMenu(HelpM1);
}

void TMainForm::CreateToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    ToolBar1->setIconSize(QSize(iconSize, iconSize));
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](const char* Name, const QIcon& Icon, const char* Hint) {
        QAction* action = ToolBar1->addAction(Icon, QString::fromLatin1(Hint));
        action->setObjectName(QString::fromLatin1(Name) + QStringLiteral("Action"));
        auto* result = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(action));
        result->setObjectName(QString::fromLatin1(Name));
        result->setToolTip(QString::fromLatin1(Hint));
        return result;
    };
    FilesT1 = button("FilesT1", ConvertFilesIcon(), "Convert character encodings");
    ToolBar1->addSeparator()->setObjectName(QStringLiteral("SeparatorT1"));
    SwapFromAndToT1 = button("SwapFromAndToT1", SwapIcon(), "Swap From and To");
    ToolBar1->addSeparator()->setObjectName(QStringLiteral("SeparatorT2"));
    OptionsT1 = button("OptionsT1", OptionsIcon(), "Set options");
}

void TMainForm::CreateControls()
{
    // The design's pixel sizes are for a font 15 pixels high; they scale with the real one.
    const int fontHeight = QFontMetrics(font()).height();
    auto scaled = [fontHeight](int Pixels) { return (Pixels * fontHeight + 7) / 15; };

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    setCentralWidget(panel);

    auto label = [panel](const char* Name, const char* Caption) {
        auto* result = new QLabel(QString::fromLatin1(Caption), panel);
        result->setObjectName(QString::fromLatin1(Name));
        result->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return result;
    };
    auto comboBox = [panel](const char* Name, bool Editable) {
        auto* result = new QComboBox(panel);
        result->setObjectName(QString::fromLatin1(Name));
        result->setEditable(Editable);
        if (Editable) {
            // Enter checks the text; it never adds it to the list.
            result->setInsertPolicy(QComboBox::NoInsert);
            result->setDuplicatesEnabled(true);
        }
        // The longest encoding name must not widen the window.
        result->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        result->setMinimumContentsLength(8);
        return result;
    };

    Label1 = label("Label1", "F&rom:");
    ComboBox1 = comboBox("ComboBox1", true);
    Label2 = label("Label2", "T&o:");
    ComboBox2 = comboBox("ComboBox2", true);
    Label21 = label("Label21", "Tr&anslation:");
    ComboBox3 = comboBox("ComboBox3", false);
    ComboBox3->addItems({QStringLiteral("None"), QStringLiteral("Ignore"), QStringLiteral("Transliterate")});
    Label22 = label("Label22", "&Buffer size:");
    Edit1 = new QLineEdit(panel);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Label1->setBuddy(ComboBox1);
    Label2->setBuddy(ComboBox2);
    Label21->setBuddy(ComboBox3);
    Label22->setBuddy(Edit1);

    GroupBox1 = new QGroupBox(QStringLiteral("Output"), panel);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    RadioButton11 = new QRadioButton(QStringLiteral("O&utput to directory:"), GroupBox1);
    RadioButton11->setObjectName(QStringLiteral("RadioButton11"));
    RadioButton11->setChecked(true);
    Edit11 = new QLineEdit(GroupBox1);
    Edit11->setObjectName(QStringLiteral("Edit11"));
    Button11 = new QPushButton(QStringLiteral("..."), GroupBox1);
    Button11->setObjectName(QStringLiteral("Button11"));
    Button11->setAutoDefault(false);
    RadioButton12 = new QRadioButton(QStringLiteral("Out&put with prefix:"), GroupBox1);
    RadioButton12->setObjectName(QStringLiteral("RadioButton12"));
    Edit12 = new QLineEdit(GroupBox1);
    Edit12->setObjectName(QStringLiteral("Edit12"));
    RadioButton13 = new QRadioButton(QStringLiteral("Over&write source files"), GroupBox1);
    RadioButton13->setObjectName(QStringLiteral("RadioButton13"));
    CheckBox11 = new QCheckBox(QStringLiteral("Ba&ckup with prefix:"), GroupBox1);
    CheckBox11->setObjectName(QStringLiteral("CheckBox11"));
    Edit13 = new QLineEdit(GroupBox1);
    Edit13->setObjectName(QStringLiteral("Edit13"));

    // Fields in one column right of the labels, as wide as the design has them.
    auto* grid = new QGridLayout(panel);
    grid->setColumnMinimumWidth(0, scaled(121));
    grid->setColumnMinimumWidth(1, scaled(217));
    grid->setColumnStretch(1, 1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(ComboBox2, 1, 1);
    grid->addWidget(Label21, 2, 0);
    grid->addWidget(ComboBox3, 2, 1);
    grid->addWidget(Label22, 3, 0);
    grid->addWidget(Edit1, 3, 1);
    grid->addWidget(GroupBox1, 4, 0, 1, 2);

    // Inside the group: the edit under the first button and the check box under the third start
    // where the buttons' texts start; the prefix edits share a column ending with the "..." button.
    auto* group = new QGridLayout(GroupBox1);
    QStyleOptionButton option;
    option.initFrom(RadioButton11);
    const int indent = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &option, RadioButton11) +
                       style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, RadioButton11);
    group->setColumnMinimumWidth(0, qMax(indent - group->horizontalSpacing(), 0));
    group->setColumnStretch(1, 1);
    group->setColumnMinimumWidth(2, scaled(121) - scaled(33) - group->horizontalSpacing());
    group->addWidget(RadioButton11, 0, 0, 1, 4);
    group->addWidget(Edit11, 1, 1, 1, 2);
    group->addWidget(Button11, 1, 3);
    group->addWidget(RadioButton12, 2, 0, 1, 2);
    group->addWidget(Edit12, 2, 2, 1, 2);
    group->addWidget(RadioButton13, 3, 0, 1, 4);
    group->addWidget(CheckBox11, 4, 0, 1, 2, Qt::AlignLeft);
    group->addWidget(Edit13, 4, 2, 1, 2);
    // The check box belongs to the third button: its box starts where that button's text does.
    CheckBox11->setContentsMargins(indent, 0, 0, 0);
    const int buttonWidth = qMax(scaled(33), Button11->fontMetrics().horizontalAdvance(Button11->text()) +
                                                 2 * style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, Button11));
    Button11->setFixedWidth(buttonWidth);
    Button11->setFixedHeight(qMax(Edit11->sizeHint().height(), Button11->sizeHint().height()));

    QWidget::setTabOrder(ComboBox1, ComboBox2);
    QWidget::setTabOrder(ComboBox2, ComboBox3);
    QWidget::setTabOrder(ComboBox3, Edit1);
    QWidget::setTabOrder(Edit1, RadioButton11);
    QWidget::setTabOrder(RadioButton11, Edit11);
    QWidget::setTabOrder(Edit11, Button11);
    QWidget::setTabOrder(Button11, RadioButton12);
    QWidget::setTabOrder(RadioButton12, Edit12);
    QWidget::setTabOrder(Edit12, RadioButton13);
    QWidget::setTabOrder(RadioButton13, CheckBox11);
    QWidget::setTabOrder(CheckBox11, Edit13);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusLabel = new QLabel(StatusBar1);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setTextFormat(Qt::PlainText);
    StatusBar1->addWidget(StatusLabel, 1);
    setStatusBar(StatusBar1);
}

void TMainForm::ConnectHandlers()
{
    for (QWidget* control : {static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(ComboBox2),
                             static_cast<QWidget*>(ComboBox3), static_cast<QWidget*>(Edit1),
                             static_cast<QWidget*>(Edit11), static_cast<QWidget*>(Edit12),
                             static_cast<QWidget*>(Edit13), static_cast<QWidget*>(RadioButton11),
                             static_cast<QWidget*>(RadioButton12), static_cast<QWidget*>(RadioButton13)})
        control->installEventFilter(this);

    auto guarded = [this](auto Body) {
        return [this, Body] { Guarded(Body, this); };
    };
    for (QRadioButton* button : {RadioButton11, RadioButton12, RadioButton13})
        connect(button, &QRadioButton::toggled, this, guarded([this] { RadioButtonClick(); }));
    connect(CheckBox11, &QCheckBox::toggled, this, guarded([this] { CheckBoxClick(); }));
    connect(Button11, &QPushButton::clicked, this, guarded([this] { ButtonClick(); }));
    for (QToolButton* button : {FilesT1, SwapFromAndToT1, OptionsT1})
        connect(button->defaultAction(), &QAction::triggered, this,
                guarded([this, button] { ToolButtonClick(button); }));

    connect(FilesM1, &QAction::triggered, this, guarded([this] { FilesM1Click(); }));
    connect(ListM1, &QAction::triggered, this, guarded([this] { ListM1Click(); }));
    connect(ExitM1, &QAction::triggered, this, guarded([this] { ExitM1Click(); }));
    connect(SwapFromAndToM1, &QAction::triggered, this, guarded([this] { SwapFromAndToM1Click(); }));
    connect(DefaultM1, &QAction::triggered, this, guarded([this] { DefaultM1Click(); }));
    for (QAction* item : {ToolbarM1, StatusBarM1, LastPositionM1, TopmostM1, DefaultM2})
        connect(item, &QAction::triggered, this, [this, item] {
            Guarded([this, item] { ViewM1Click(item); }, this);
            // The check marks follow the options, whatever the command did.
            UpdateViewChecks();
        });
    for (QAction* item : {GroupedM1, UngroupedM1})
        connect(item, &QAction::triggered, this, guarded([this, item] { CopyEncodingNamesM1Click(item); }));
    connect(SystemInformationM1, &QAction::triggered, this, guarded([this] { SystemInformationM1Click(); }));
    connect(OptionsM1, &QAction::triggered, this, guarded([this] { OptionsM1Click(); }));
    connect(HelpM2, &QAction::triggered, this, guarded([this] { HelpM2Click(); }));
    connect(AboutM1, &QAction::triggered, this, guarded([this] { AboutM1Click(); }));
}

void TMainForm::InitializeWindow(std::unique_ptr<TLumiva> Engine)
{
    OptionsDialog = new TOptionsDialog(this);
    // The idle step is armed when the window is first shown (showEvent).
    setAcceptDrops(true);
    CreateDialogList();
    CreateConverter(std::move(Engine));
    SetControls(true);
    ApplyViewOptions();
    LoadSettings();
    SetStatusText("Ready");
}

void TMainForm::CreateDialogList()
{
    OpenDialog1.Kind = TFileDialog::dkOpen;
    OpenDialog1.Title = "Files";
    OpenDialog1.Filter = FilesFilter;
    OpenDialog1.FilterIndex = 3;
    OpenDialog1.MultiSelect = true;

    OpenDialog2.Kind = TFileDialog::dkOpen;
    OpenDialog2.Title = "List";
    OpenDialog2.Filter = TextFilter;
    OpenDialog2.FilterIndex = 1;

    SaveDialog1.Kind = TFileDialog::dkSave;
    SaveDialog1.Title = "Save";
    SaveDialog1.Filter = TextFilter;
    SaveDialog1.FilterIndex = 1;
    SaveDialog1.DefaultExt = "txt";

    DialogList.Add(&OpenDialog1);
    DialogList.Add(&OpenDialog2);
    DialogList.Add(&SaveDialog1);
}

void TMainForm::CreateConverter(std::unique_ptr<TLumiva> Engine)
{
    if (!Engine)
        throw Exception("No conversion engine");
    Converter = std::move(Engine);
    TStringList names;
    Converter->GetNames(names);
    QStringList items;
    items.reserve(static_cast<qsizetype>(names.Count()));
    for (const std::string& name : names)
        items << Local(name);
    // Filled once, in the engine's order, which is already sorted.
    ComboBox1->addItems(items);
    ComboBox2->addItems(items);
}

// ---------------------------------------------------------------------------------------------
// Options and controls

void TMainForm::SetRadioButtons(std::int32_t Output)
{
    QRadioButton* const buttons[] = {RadioButton11, RadioButton12, RadioButton13};
    if (Output >= 0 && Output <= 2) {
        buttons[Output]->setChecked(true);
        return;
    }
    // Exclusive buttons cannot all be cleared; they are so only for a moment.
    for (QRadioButton* button : buttons)
        button->setAutoExclusive(false);
    for (QRadioButton* button : buttons)
        button->setChecked(false);
    for (QRadioButton* button : buttons)
        button->setAutoExclusive(true);
}

void TMainForm::SetControls(bool Defaults)
{
    const TConvertOptions source = Defaults ? DefaultConvertOptions() : ConvertOptions;
    ComboBox1->setEditText(Local(source.FromEncoding));
    ComboBox2->setEditText(Local(source.ToEncoding));
    ComboBox3->setCurrentIndex(source.Translation >= 0 && source.Translation <= 2 ? source.Translation : -1);
    Edit1->setText(QString::number(source.BufferSize));
    SetRadioButtons(source.Output);
    Edit11->setText(Local(source.OutputDirectory));
    Edit12->setText(Local(source.OutputPrefix));
    CheckBox11->setChecked(source.BackupSrcFiles);
    Edit13->setText(Local(source.BackupPrefix));
    UpdateControlStates();
    FocusQuietly(nullptr);
    FocusQuietly(ComboBox1);
}

void TMainForm::GetControls()
{
    RunExitChecks();
    if (QWidget* control = ActiveControl())
        ValidateControl(control);

    TConvertOptions options;
    options.FromEncoding = TextOf(ComboBox1);
    options.ToEncoding = TextOf(ComboBox2);
    const int translation = ComboBox3->currentIndex();
    if (translation >= 0 && translation <= 2)
        options.Translation = translation;
    else
        ValidateControl(ComboBox3);
    options.BufferSize = StrToInt(TextOf(Edit1));
    if (RadioButton11->isChecked())
        options.Output = omDirectory;
    else if (RadioButton12->isChecked())
        options.Output = omPrefix;
    else if (RadioButton13->isChecked())
        options.Output = omOverwrite;
    else
        ValidateControl(RadioButton11);
    options.OutputDirectory = TextOf(Edit11);
    options.OutputPrefix = TextOf(Edit12);
    options.BackupSrcFiles = CheckBox11->isChecked();
    options.BackupPrefix = TextOf(Edit13);
    ConvertOptions = options;
}

void TMainForm::ValidateControl(QWidget* Control)
{
    if (Control == ComboBox1 || Control == ComboBox2) {
        auto* box = static_cast<QComboBox*>(Control);
        if (box->count() == 0)
            return;
        const std::string text = TextOf(box);
        int found = -1;
        for (int i = 0; i < box->count() && found < 0; ++i)
            if (SameText(Local8(box->itemText(i)), text))
                found = i;
        if (found < 0)
            ControlError(box, SelectAnItemInTheListMessage);
        if (Local8(box->itemText(found)) != text) {
            // Cleared first: selecting the item that is already current would keep the typed text.
            box->setCurrentIndex(-1);
            box->setCurrentIndex(found);
        }
    } else if (Control == ComboBox3) {
        if (ComboBox3->count() > 0 && ComboBox3->currentIndex() < 0)
            ControlError(ComboBox3, SelectAnItemMessage);
    } else if (Control == Edit1 || Control == Edit11 || Control == Edit12 || Control == Edit13) {
        auto* edit = static_cast<QLineEdit*>(Control);
        const std::string text = TextOf(edit);
        const std::string message = edit == Edit1    ? CheckBufferSize(text)
                                    : edit == Edit11 ? CheckOutputDirectory(text)
                                                     : CheckPrefix(text);
        if (!message.empty())
            ControlError(edit, message);
    } else if (Control == RadioButton11 || Control == RadioButton12 || Control == RadioButton13) {
        if (!RadioButton11->isChecked() && !RadioButton12->isChecked() && !RadioButton13->isChecked())
            ControlError(RadioButton11, SelectAnItemMessage);
    }
}

void TMainForm::ControlError(QWidget* Control, const std::string& Message)
{
    if (Control && Control->isEnabled() && Control->isVisibleTo(this) && Control->focusPolicy() != Qt::NoFocus)
        FocusQuietly(Control);
    throw Exception(Message);
}

void TMainForm::UpdateControlStates()
{
    Edit11->setEnabled(RadioButton11->isChecked());
    Button11->setEnabled(RadioButton11->isChecked());
    Edit12->setEnabled(RadioButton12->isChecked());
    CheckBox11->setEnabled(RadioButton13->isChecked());
    Edit13->setEnabled(CheckBox11->isEnabled() && CheckBox11->isChecked());
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
    StatusLabel->setText(Local(Text));
}

std::string TMainForm::StatusText() const
{
    return Local8(StatusLabel->text());
}

// ---------------------------------------------------------------------------------------------
// Focus and leave checks

bool TMainForm::IsOptionControl(QWidget* Widget) const
{
    return Widget && (Widget == ComboBox1 || Widget == ComboBox2 || Widget == ComboBox3 || Widget == Edit1 ||
                      Widget == RadioButton11 || Widget == Edit11 || Widget == Button11 ||
                      Widget == RadioButton12 || Widget == Edit12 || Widget == RadioButton13 ||
                      Widget == CheckBox11 || Widget == Edit13);
}

QWidget* TMainForm::ActiveControl() const
{
    QWidget* widget = focusWidget();
    while (widget && widget != this && !IsOptionControl(widget))
        widget = widget->parentWidget();
    return IsOptionControl(widget) ? widget : nullptr;
}

void TMainForm::FocusQuietly(QWidget* Control)
{
    TSuppress suppress(ExitChecksSuppressed);
    if (Control) {
        Control->setFocus(Qt::OtherFocusReason);
    } else if (QWidget* focused = focusWidget()) {
        focused->clearFocus();
    }
}

void TMainForm::QueueExitCheck(QWidget* Control)
{
    PendingExits.emplace_back(Control);
    if (ExitChecksQueued)
        return;
    ExitChecksQueued = true;
    // After the focus change is complete: an error box in the middle of it would leave a pressed
    // button or a half-moved focus behind.
    QTimer::singleShot(0, this, [this] {
        ExitChecksQueued = false;
        TSuppress suppress(ExitChecksSuppressed);
        Guarded([this] { RunExitChecks(); }, this);
    });
}

void TMainForm::RunExitChecks()
{
    if (PendingExits.empty())
        return;
    // The first error ends the checks; the focus is then on the faulty control.
    const std::vector<QPointer<QWidget>> pending = std::move(PendingExits);
    PendingExits.clear();
    for (const QPointer<QWidget>& control : pending)
        if (control)
            RunExitHandler(control);
}

void TMainForm::RunExitHandler(QWidget* Control)
{
    if (qobject_cast<QComboBox*>(Control))
        ComboBoxExit(Control);
    else if (qobject_cast<QLineEdit*>(Control))
        EditExit(Control);
    else if (qobject_cast<QRadioButton*>(Control))
        RadioButtonExit(Control);
}

bool TMainForm::eventFilter(QObject* Watched, QEvent* Event)
{
    auto* control = qobject_cast<QWidget*>(Watched);
    if (control && IsOptionControl(control)) {
        if (Event->type() == QEvent::FocusOut) {
            // Only a move to another control is leaving it; the window losing the activation, a
            // menu or a drop-down list opening are not.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(Event)->reason();
            if (ExitChecksSuppressed == 0 && reason != Qt::ActiveWindowFocusReason &&
                reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason && reason != Qt::NoFocusReason)
                QueueExitCheck(control);
        } else if (Event->type() == QEvent::KeyPress && (control == ComboBox1 || control == ComboBox2)) {
            auto* key = static_cast<QKeyEvent*>(Event);
            if (IsLineBreakKey(key->key(), key->text())) {
                Guarded([&] { ComboBoxKeyPress(control, key->key(), key->text()); }, this);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
}

bool TMainForm::IsLineBreakKey(int Key, const QString& Text)
{
    return Key == Qt::Key_Return || Key == Qt::Key_Enter || Text == QStringLiteral("\r") ||
           Text == QStringLiteral("\n");
}

// ---------------------------------------------------------------------------------------------
// Control events and the Edit, View and File menus

void TMainForm::ComboBoxExit(QWidget* Sender)
{
    ValidateControl(Sender);
}

void TMainForm::ComboBoxKeyPress(QWidget* Sender, int Key, const QString& Text)
{
    if (IsLineBreakKey(Key, Text)) {
        RunExitChecks();
        ValidateControl(Sender);
    }
}

void TMainForm::EditExit(QWidget* Sender)
{
    ValidateControl(Sender);
}

void TMainForm::RadioButtonExit(QWidget* Sender)
{
    ValidateControl(Sender);
}

void TMainForm::RadioButtonClick()
{
    UpdateControlStates();
}

void TMainForm::CheckBoxClick()
{
    UpdateControlStates();
}

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

void TMainForm::ToolButtonClick(QToolButton* Sender)
{
    if (Sender == FilesT1)
        FilesM1Click();
    else if (Sender == SwapFromAndToT1)
        SwapFromAndToM1Click();
    else if (Sender == OptionsT1)
        OptionsM1Click();
}

void TMainForm::SwapFromAndToM1Click()
{
    RunExitChecks();
    QWidget* focused = ActiveControl();
    if (focused)
        ValidateControl(focused);
    const QString from = ComboBox1->currentText();
    ComboBox1->setEditText(ComboBox2->currentText());
    ComboBox2->setEditText(from);
    if (focused == ComboBox1 || focused == ComboBox2) {
        // Focused again, the box shows its new text from the start, selected.
        FocusQuietly(nullptr);
        FocusQuietly(focused);
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
        options = DefaultViewOptions();
    }
    SetViewOptions(options);
}

void TMainForm::ExitM1Click()
{
    close();
}

// ---------------------------------------------------------------------------------------------
// Starting and finishing a run

void TMainForm::FilesM1Click()
{
    TStringList files;
    std::string fileName;
    if (!DialogList.Execute(0, fileName, &files))
        return;
    ConvertFiles(files);
}

void TMainForm::ListM1Click()
{
    std::string fileName;
    if (!DialogList.Execute(1, fileName))
        return;
    TStringList lines;
    lines.LoadFromFile(fileName);
    // Empty lines name nothing; lines of blanks are names as they stand.
    TStringList files;
    for (const std::string& line : lines)
        if (!line.empty())
            files.Add(line);
    ConvertFiles(files);
}

void TMainForm::WMDropFiles(const QList<QUrl>& Urls)
{
    raise();
    activateWindow();
    TStringList files;
    for (const QUrl& url : Urls) {
        if (!url.isLocalFile())
            continue;
        std::string name = Local8(QDir::toNativeSeparators(url.toLocalFile()));
        if (name.size() >= PATH_MAX)
            throw Exception("Cannot get the name of a dropped file");
        files.Add(std::move(name));
    }
    ConvertFiles(files);
}

void TMainForm::ConvertFiles(const TStringList& Files)
{
    GetControls();
    if (ConvertOptions.Output == omOverwrite &&
        ShowMessageBox("The program overwrites source files.\r\n\r\nContinue?",
                       MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND, {}, this) != IDYES)
        return;

    ConvertThread = new TConvertThread(Files, Converter.get(), ConvertOptions, OptionsDialog->ConvertSpecs,
                                       Questions, this);
    ConvertThreadStarted = false;
    // The thread's events run on this thread while the worker waits; nothing may escape into it.
    ConvertThread->OnDone = [this](TConvertThread* Sender, TConvertState State, TLogger& Logger) {
        Guarded([&] { ConvertThreadDone(Sender, State, Logger); });
    };
    ConvertThread->OnTerminate = [this](TConvertThread* Sender) {
        Guarded([&] { ConvertThreadTerminate(Sender); });
    };
    ConvertThread->OnMessage = [this](TConvertThread* Sender, const std::string& Text) {
        Guarded([&] { ConvertThreadMessage(Sender, Text); });
    };
    ConvertThread->OnProgress = [this](TConvertThread* Sender, std::int32_t Position, std::int32_t Max) {
        Guarded([&] { ConvertThreadProgress(Sender, Position, Max); });
    };

    try {
        ProgressDialog.setWindowTitle(QStringLiteral("Convert"));
        ProgressDialog.SetMessage("");
        ProgressDialog.SetButtonCaption("Cancel");
        ProgressDialog.SetPosition(0);
        ProgressDialog.OnExecute = [this](TProgressDialog*) { Guarded([this] { ProgressDialogExecute(); }); };
        ProgressDialog.OnCommand = [this](TProgressDialog*) { Guarded([this] { ProgressDialogCommand(); }); };
        ProgressDialog.ExecuteModal();
    } catch (...) {
        // A thread that never ran is its creator's to delete; a running one deletes itself.
        if (ConvertThread && !ConvertThreadStarted) {
            delete ConvertThread;
            ConvertThread = nullptr;
        }
        throw;
    }
}

void TMainForm::ProgressDialogExecute()
{
    if (ConvertThread) {
        ConvertThreadStarted = true;
        ConvertThread->Start();
    }
}

void TMainForm::ProgressDialogCommand()
{
    if (ConvertThread)
        ConvertThread->RequestAbort();
}

void TMainForm::ConvertThreadMessage(TConvertThread*, const std::string& Text)
{
    ProgressDialog.SetMessage(Text);
}

void TMainForm::ConvertThreadProgress(TConvertThread*, std::int32_t Position, std::int32_t Max)
{
    if (Position == 1)
        ProgressDialog.SetButtonCaption("Stop");
    ProgressDialog.SetProgress(Position, Max);
}

void TMainForm::ConvertThreadDone(TConvertThread*, TConvertState State, TLogger& Logger)
{
    try {
        std::string report;
        bool ask = OptionsDialog->AssistOptions.AlwaysSaveLog;
        if (State != csCompleted) {
            report += "The operation is not completed.\r\n\r\n";
            ask = true;
        }
        if (Logger.ErrorCount > 0 || Logger.WarningCount > 0) {
            report += "There are " + std::to_string(Logger.ErrorCount) + " errors and " +
                      std::to_string(Logger.WarningCount) + " warnings.\r\n\r\n";
            ask = true;
        }
        if (ask) {
            report += "Save the log?";
            if (ShowMessageBox(report, MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND) == IDYES)
                SaveLog(Logger);
        }
    } catch (...) {
        SetStatusText("Done");
        throw;
    }
    SetStatusText("Done");
}

void TMainForm::ConvertThreadTerminate(TConvertThread*)
{
    ProgressDialog.Finish();
    ConvertThread = nullptr;
}

void TMainForm::SaveLog(const TLogger& Logger)
{
    std::string fileName =
        "LMV Log " + Local8(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"))) + ".txt";
    for (;;) {
        try {
            if (!DialogList.Execute(2, fileName))
                return;
            Logger.Lines.SaveToFile(fileName);
            return;
        } catch (...) {
            if (ShowMessageBox("The program cannot save the log to the following file:\r\n\r\n" + fileName +
                                   "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND) != IDYES)
                return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Tools and Help

void TMainForm::CopyEncodingNamesM1Click(QAction* Sender)
{
    TStringList names;
    if (Sender == GroupedM1)
        Converter->GetGroups(names);
    else if (Sender == UngroupedM1)
        Converter->GetNames(names);
    QGuiApplication::clipboard()->setText(Local(names.Text()));
}

void TMainForm::SystemInformationM1Click()
{
    // The terminal uses the locale's character set too, so both numbers are the same.
    const std::string codePage = std::to_string(CodePageOfLocale());
    ShowMessageBox("ANSI code-page indentifier: " + codePage + "\r\nOEM code-page indentifier: " + codePage,
                   MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND, QStringLiteral("System Information"), this);
}

void TMainForm::OptionsM1Click()
{
    OptionsDialog->Execute();
}

void TMainForm::HelpM2Click()
{
    if (ShowMessageBox("The program opens the following document:\r\n\r\n" + HelpFileName + "\r\n\r\nContinue?",
                       MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND, {}, this) != IDOK)
        return;
    if (!OpenDocument || !OpenDocument(QUrl::fromLocalFile(Local(HelpFileName))))
        throw Exception("Cannot open \"" + HelpFileName + "\"");
}

void TMainForm::AboutM1Click()
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

// ---------------------------------------------------------------------------------------------
// Start-up, shutdown and window events

void TMainForm::ApplicationIdle()
{
    CheckCommandParameters();
}

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
    if (ConvertThread)
        throw Exception("A conversion is in progress");
    GetControls();
    SaveSettings();
}

void TMainForm::LoadSettings()
{
    if (SettingsFileName.empty())
        return;
    for (;;) {
        try {
            // A file that cannot be read fails here, before any record is replaced.
            const TSettings settings(SettingsFileName);
            settings.ReadOpenDialogList(DialogList);
            ConvertOptions = settings.ReadConvertOptions(ConvertOptions);
            SetControls(false);
            OptionsDialog->ConvertSpecs = settings.ReadConvertSpecs(OptionsDialog->ConvertSpecs);
            OptionsDialog->AssistOptions = settings.ReadAssistOptions(OptionsDialog->AssistOptions);
            SetViewOptions(settings.ReadViewOptions(ViewOptions));
            if (ViewOptions.LastPosition) {
                int left = pos().x();
                int top = pos().y();
                settings.ReadLastPosition(left, top);
                if (CanPlaceWindows())
                    move(left, top);
            }
            return;
        } catch (...) {
            if (ShowMessageBox("The program cannot load settings from the following file:\r\n\r\n" +
                                   SettingsFileName + "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND, {}, this) != IDYES)
                return;
        }
    }
}

void TMainForm::SaveSettings()
{
    if (SettingsFileName.empty())
        return;
    for (;;) {
        try {
            // Reads the file first, so that what the program does not know survives the save.
            TSettings settings(SettingsFileName);
            settings.WriteOpenDialogList(DialogList);
            settings.WriteConvertOptions(ConvertOptions);
            settings.WriteConvertSpecs(OptionsDialog->ConvertSpecs);
            settings.WriteAssistOptions(OptionsDialog->AssistOptions);
            settings.WriteViewOptions(ViewOptions);
            settings.WriteLastPosition(pos().x(), pos().y());
            settings.UpdateFile();
            return;
        } catch (...) {
            if (ShowMessageBox("The program cannot save settings to the following file:\r\n\r\n" +
                                   SettingsFileName + "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND, {}, this) != IDYES)
                return;
        }
    }
}

void TMainForm::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (!IdleArmed) {
        IdleArmed = true;
        QTimer::singleShot(0, this, [this] {
            Guarded([this] { ApplicationIdle(); }, this);
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
    QTimer::singleShot(0, this, [this, urls] { Guarded([&] { WMDropFiles(urls); }, this); });
}

QMenu* TMainForm::createPopupMenu()
{
    return nullptr;
}
