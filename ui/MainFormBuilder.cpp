#include "ui/MainFormBuilder.h"

#include "ui/Icons.h"
#include "ui/MainFormWidgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolBar>
#include <QToolButton>

namespace {

const char* const FilesFilter = "Text files (*.txt)|*.txt|HTML files (*.htm;*.html)|*.htm;*.html|All files (*)|*";
const char* const TextFilter = "Text files (*.txt)|*.txt|All files (*)|*";

} // namespace

TMainFormBuilder::TMainFormBuilder(QMainWindow& Window, TMainFormWidgets& Form) : Window(Window), Form(Form) {}

void TMainFormBuilder::CreateMenu()
{
    auto action = [](QMenu* Menu, const char* Name, const char* Caption, QKeySequence Shortcut = {}) {
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

    QMenuBar* bar = Window.menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    Form.FileM1 = menu(bar, "FileM1", "&File");
    Form.ConvertM1 = menu(Form.FileM1, "ConvertM1", "&Convert");
    Form.FileM1->addMenu(Form.ConvertM1);
    Form.FilesM1 = action(Form.ConvertM1, "FilesM1", "&Files...", QKeySequence(Qt::CTRL | Qt::Key_O));
    Form.ListM1 = action(Form.ConvertM1, "ListM1", "&List...", QKeySequence(Qt::CTRL | Qt::Key_L));
    Form.FolderM1 = action(Form.ConvertM1, "FolderM1", "F&older...", QKeySequence(Qt::CTRL | Qt::Key_D));
    Form.CheckM1 = menu(Form.FileM1, "CheckM1", "C&heck");
    Form.FileM1->addMenu(Form.CheckM1);
    Form.FilesM2 = action(Form.CheckM1, "FilesM2", "&Files...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    Form.ListM2 = action(Form.CheckM1, "ListM2", "&List...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    Form.FolderM2 = action(Form.CheckM1, "FolderM2", "F&older...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    Form.FileM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM1"));
    Form.ExitM1 = action(Form.FileM1, "ExitM1", "E&xit");
    bar->addMenu(Form.FileM1);

    Form.EditM1 = menu(bar, "EditM1", "&Edit");
    Form.SwapFromAndToM1 =
        action(Form.EditM1, "SwapFromAndToM1", "&Swap From and To", QKeySequence(Qt::CTRL | Qt::Key_W));
    Form.EditM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM2"));
    Form.DefaultM1 = action(Form.EditM1, "DefaultM1", "&Default...");
    bar->addMenu(Form.EditM1);

    Form.ViewM1 = menu(bar, "ViewM1", "&View");
    Form.ToolbarM1 = action(Form.ViewM1, "ToolbarM1", "&Toolbar");
    Form.StatusBarM1 = action(Form.ViewM1, "StatusBarM1", "&Status Bar");
    Form.ViewM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM3"));
    Form.LastPositionM1 = action(Form.ViewM1, "LastPositionM1", "&Last Position");
    Form.TopmostM1 = action(Form.ViewM1, "TopmostM1", "T&opmost");
    Form.ViewM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM4"));
    Form.DefaultM2 = action(Form.ViewM1, "DefaultM2", "&Default...");
    for (QAction* item : {Form.ToolbarM1, Form.StatusBarM1, Form.LastPositionM1, Form.TopmostM1})
        item->setCheckable(true);
    bar->addMenu(Form.ViewM1);

    Form.ToolsM1 = menu(bar, "ToolsM1", "&Tools");
    Form.CopyEncodingNamesM1 = menu(Form.ToolsM1, "CopyEncodingNamesM1", "&Copy Encoding Names");
    Form.ToolsM1->addMenu(Form.CopyEncodingNamesM1);
    Form.GroupedM1 = action(Form.CopyEncodingNamesM1, "GroupedM1", "&Grouped");
    Form.UngroupedM1 = action(Form.CopyEncodingNamesM1, "UngroupedM1", "&Ungrouped");
    Form.SystemInformationM1 =
        action(Form.ToolsM1, "SystemInformationM1", "&System Information", QKeySequence(Qt::CTRL | Qt::Key_I));
    Form.ToolsM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM5"));
    Form.OptionsM1 = action(Form.ToolsM1, "OptionsM1", "&Options...", QKeySequence(Qt::CTRL | Qt::Key_P));
    bar->addMenu(Form.ToolsM1);

    Form.HelpM1 = menu(bar, "HelpM1", "&Help");
    Form.HelpM2 = action(Form.HelpM1, "HelpM2", "&Help...", QKeySequence(Qt::Key_F1));
    Form.HelpM1->addSeparator()->setObjectName(QStringLiteral("SeparatorM6"));
    Form.AboutM1 = action(Form.HelpM1, "AboutM1", "&About");
    bar->addMenu(Form.HelpM1);
}

void TMainFormBuilder::CreateToolBar()
{
    Form.ToolBar1 = new QToolBar(&Window);
    Form.ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    Form.ToolBar1->setMovable(false);
    Form.ToolBar1->setFloatable(false);
    Form.ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const int iconSize = Window.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &Window);
    Form.ToolBar1->setIconSize(QSize(iconSize, iconSize));
    Window.addToolBar(Qt::TopToolBarArea, Form.ToolBar1);

    auto button = [this](const char* Name, const QIcon& Icon, const char* Hint) {
        QAction* action = Form.ToolBar1->addAction(Icon, QString::fromLatin1(Hint));
        action->setObjectName(QString::fromLatin1(Name) + QStringLiteral("Action"));
        auto* result = qobject_cast<QToolButton*>(Form.ToolBar1->widgetForAction(action));
        result->setObjectName(QString::fromLatin1(Name));
        result->setToolTip(QString::fromLatin1(Hint));
        return result;
    };
    Form.FilesT1 = button("FilesT1", ConvertFilesIcon(), "Convert character encodings");
    Form.FolderT1 = button("FolderT1", ConvertFolderIcon(), "Convert character encodings in a folder");
    Form.ToolBar1->addSeparator()->setObjectName(QStringLiteral("SeparatorT1"));
    Form.SwapFromAndToT1 = button("SwapFromAndToT1", SwapIcon(), "Swap From and To");
    Form.ToolBar1->addSeparator()->setObjectName(QStringLiteral("SeparatorT2"));
    Form.OptionsT1 = button("OptionsT1", OptionsIcon(), "Set options");
}

void TMainFormBuilder::CreateControls()
{
    // The layout's pixel sizes are for a font 15 pixels high; they scale with the real one.
    const int fontHeight = QFontMetrics(Window.font()).height();
    auto scaled = [fontHeight](int Pixels) { return (Pixels * fontHeight + 7) / 15; };

    auto* panel = new QWidget(&Window);
    panel->setObjectName(QStringLiteral("Panel1"));
    Window.setCentralWidget(panel);

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

    Form.Label1 = label("Label1", "F&rom:");
    Form.ComboBox1 = comboBox("ComboBox1", true);
    Form.Label2 = label("Label2", "T&o:");
    Form.ComboBox2 = comboBox("ComboBox2", true);
    Form.Label21 = label("Label21", "Tr&anslation:");
    Form.ComboBox3 = comboBox("ComboBox3", false);
    Form.ComboBox3->addItems({QStringLiteral("None"), QStringLiteral("Ignore"), QStringLiteral("Transliterate")});
    Form.Label22 = label("Label22", "&Buffer size:");
    Form.Edit1 = new QLineEdit(panel);
    Form.Edit1->setObjectName(QStringLiteral("Edit1"));
    Form.Label1->setBuddy(Form.ComboBox1);
    Form.Label2->setBuddy(Form.ComboBox2);
    Form.Label21->setBuddy(Form.ComboBox3);
    Form.Label22->setBuddy(Form.Edit1);

    Form.GroupBox1 = new QGroupBox(QStringLiteral("Output"), panel);
    Form.GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Form.RadioButton11 = new QRadioButton(QStringLiteral("O&utput to directory:"), Form.GroupBox1);
    Form.RadioButton11->setObjectName(QStringLiteral("RadioButton11"));
    Form.RadioButton11->setChecked(true);
    Form.Edit11 = new QLineEdit(Form.GroupBox1);
    Form.Edit11->setObjectName(QStringLiteral("Edit11"));
    Form.Button11 = new QPushButton(QStringLiteral("..."), Form.GroupBox1);
    Form.Button11->setObjectName(QStringLiteral("Button11"));
    Form.Button11->setAutoDefault(false);
    Form.RadioButton12 = new QRadioButton(QStringLiteral("Out&put with prefix:"), Form.GroupBox1);
    Form.RadioButton12->setObjectName(QStringLiteral("RadioButton12"));
    Form.Edit12 = new QLineEdit(Form.GroupBox1);
    Form.Edit12->setObjectName(QStringLiteral("Edit12"));
    Form.RadioButton13 = new QRadioButton(QStringLiteral("Over&write source files"), Form.GroupBox1);
    Form.RadioButton13->setObjectName(QStringLiteral("RadioButton13"));
    Form.CheckBox11 = new QCheckBox(QStringLiteral("Ba&ckup with prefix:"), Form.GroupBox1);
    Form.CheckBox11->setObjectName(QStringLiteral("CheckBox11"));
    Form.Edit13 = new QLineEdit(Form.GroupBox1);
    Form.Edit13->setObjectName(QStringLiteral("Edit13"));

    // Fields in one column right of the labels, as wide as the layout has them.
    auto* grid = new QGridLayout(panel);
    grid->setColumnMinimumWidth(0, scaled(121));
    grid->setColumnMinimumWidth(1, scaled(217));
    grid->setColumnStretch(1, 1);
    grid->addWidget(Form.Label1, 0, 0);
    grid->addWidget(Form.ComboBox1, 0, 1);
    grid->addWidget(Form.Label2, 1, 0);
    grid->addWidget(Form.ComboBox2, 1, 1);
    grid->addWidget(Form.Label21, 2, 0);
    grid->addWidget(Form.ComboBox3, 2, 1);
    grid->addWidget(Form.Label22, 3, 0);
    grid->addWidget(Form.Edit1, 3, 1);
    grid->addWidget(Form.GroupBox1, 4, 0, 1, 2);

    // Inside the group: the edit under the first button and the check box under the third start
    // where the buttons' texts start; the prefix edits share a column ending with the "..." button.
    auto* group = new QGridLayout(Form.GroupBox1);
    QStyle* style = Window.style();
    QStyleOptionButton option;
    option.initFrom(Form.RadioButton11);
    const int indent = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &option, Form.RadioButton11) +
                       style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, Form.RadioButton11);
    group->setColumnMinimumWidth(0, qMax(indent - group->horizontalSpacing(), 0));
    group->setColumnStretch(1, 1);
    group->setColumnMinimumWidth(2, scaled(121) - scaled(33) - group->horizontalSpacing());
    group->addWidget(Form.RadioButton11, 0, 0, 1, 4);
    group->addWidget(Form.Edit11, 1, 1, 1, 2);
    group->addWidget(Form.Button11, 1, 3);
    group->addWidget(Form.RadioButton12, 2, 0, 1, 2);
    group->addWidget(Form.Edit12, 2, 2, 1, 2);
    group->addWidget(Form.RadioButton13, 3, 0, 1, 4);
    group->addWidget(Form.CheckBox11, 4, 0, 1, 2, Qt::AlignLeft);
    group->addWidget(Form.Edit13, 4, 2, 1, 2);
    // The check box belongs to the third button: its box starts where that button's text does.
    Form.CheckBox11->setContentsMargins(indent, 0, 0, 0);
    const int buttonWidth =
        qMax(scaled(33), Form.Button11->fontMetrics().horizontalAdvance(Form.Button11->text()) +
                             2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, Form.Button11));
    Form.Button11->setFixedWidth(buttonWidth);
    Form.Button11->setFixedHeight(qMax(Form.Edit11->sizeHint().height(), Form.Button11->sizeHint().height()));

    QWidget::setTabOrder(Form.ComboBox1, Form.ComboBox2);
    QWidget::setTabOrder(Form.ComboBox2, Form.ComboBox3);
    QWidget::setTabOrder(Form.ComboBox3, Form.Edit1);
    QWidget::setTabOrder(Form.Edit1, Form.RadioButton11);
    QWidget::setTabOrder(Form.RadioButton11, Form.Edit11);
    QWidget::setTabOrder(Form.Edit11, Form.Button11);
    QWidget::setTabOrder(Form.Button11, Form.RadioButton12);
    QWidget::setTabOrder(Form.RadioButton12, Form.Edit12);
    QWidget::setTabOrder(Form.Edit12, Form.RadioButton13);
    QWidget::setTabOrder(Form.RadioButton13, Form.CheckBox11);
    QWidget::setTabOrder(Form.CheckBox11, Form.Edit13);
}

void TMainFormBuilder::CreateStatusBar()
{
    Form.StatusBar1 = new QStatusBar(&Window);
    Form.StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    Form.StatusBar1->setSizeGripEnabled(false);
    auto* label = new QLabel(Form.StatusBar1);
    label->setObjectName(QStringLiteral("StatusLabel"));
    label->setTextFormat(Qt::PlainText);
    Form.StatusBar1->addWidget(label, 1);
    Window.setStatusBar(Form.StatusBar1);
    Form.StatusLabel = label;
}

void TMainFormBuilder::CreateDialogList(TOpenDialogList& DialogList)
{
    Form.OpenDialog1.Kind = TFileDialog::dkOpen;
    Form.OpenDialog1.Title = "Files";
    Form.OpenDialog1.Filter = FilesFilter;
    Form.OpenDialog1.FilterIndex = 3;
    Form.OpenDialog1.MultiSelect = true;

    Form.OpenDialog2.Kind = TFileDialog::dkOpen;
    Form.OpenDialog2.Title = "List";
    Form.OpenDialog2.Filter = TextFilter;
    Form.OpenDialog2.FilterIndex = 1;

    Form.SaveDialog1.Kind = TFileDialog::dkSave;
    Form.SaveDialog1.Title = "Save";
    Form.SaveDialog1.Filter = TextFilter;
    Form.SaveDialog1.FilterIndex = 1;
    Form.SaveDialog1.DefaultExt = "txt";

    Form.FolderDialog1.Kind = TFileDialog::dkFolder;
    Form.FolderDialog1.Title = "Folder";

    DialogList.Add(&Form.OpenDialog1);
    DialogList.Add(&Form.OpenDialog2);
    DialogList.Add(&Form.SaveDialog1);
}
