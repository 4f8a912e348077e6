#include "engine/Lumiva.h"
#include "settings/ConvertOptions.h"
#include "tests/common/TestSupport.h"
#include "tests/ui/WindowFixture.h"
#include "ui/MainForm.h"
#include "ui/OptionsDialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using lmvtest::Q;
using lmvtest::TModalScript;

// Runs every event posted so far (and whatever they post before this one is reached).
void FlushPostedEvents()
{
    bool reached = false;
    QMetaObject::invokeMethod(qApp, [&reached] { reached = true; }, Qt::QueuedConnection);
    QTRY_VERIFY(reached);
}

std::string ErrorOf(const std::function<void()>& Body)
{
    try {
        Body();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(none)";
}

class MainFormTest : public lmvtest::TWindowFixture<lmvtest::TNoFileDialogs> {
protected:
    // The window's focused control, also while a box has the activation.
    QWidget* Focused() const { return Form->focusWidget(); }
};

TEST_F(MainFormTest, StartsWithDefaultOptionsEngineNamesAndReadyStatus)
{
    Show();
    const TConvertOptions defaults = DefaultConvertOptions();
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Lumiva"));
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("UTF-8"));
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("UTF-16"));
    EXPECT_EQ(Form->ComboBox3->currentText(), QStringLiteral("None"));
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("65536"));
    EXPECT_TRUE(Form->RadioButton11->isChecked());
    EXPECT_EQ(Form->Edit11->text(), Q(defaults.OutputDirectory));
    EXPECT_EQ(Form->Edit12->text(), QStringLiteral("Output - "));
    EXPECT_TRUE(Form->CheckBox11->isChecked());
    EXPECT_EQ(Form->Edit13->text(), QStringLiteral("Backup - "));
    EXPECT_EQ(Form->StatusText(), "Ready");
    EXPECT_EQ(Focused(), Form->ComboBox1);

    // Both encoding boxes hold the engine's names in the engine's order, From after "Auto-detect".
    TLumiva engine;
    TStringList names;
    engine.GetNames(names);
    ASSERT_GT(names.Count(), 10u);
    for (QComboBox* box : {Form->ComboBox1, Form->ComboBox2}) {
        const int first = box == Form->ComboBox1 ? 1 : 0;
        ASSERT_EQ(box->count(), static_cast<int>(names.Count()) + first);
        for (int i = first; i < box->count(); ++i)
            ASSERT_EQ(box->itemText(i), Q(names[static_cast<std::size_t>(i - first)]));
        EXPECT_TRUE(box->isEditable());
    }
    EXPECT_EQ(Form->ComboBox1->itemText(0), QStringLiteral("Auto-detect"));
    EXPECT_FALSE(Form->ComboBox3->isEditable());
    EXPECT_EQ(Form->ComboBox3->count(), 3);
    EXPECT_EQ(Form->ComboBox3->itemText(2), QStringLiteral("Transliterate"));

    // The three file dialogs (their titles show in the runs, their filter choices in the settings file).
    ASSERT_EQ(Form->DialogList.Count(), 3u);
    EXPECT_TRUE(Form->DialogList[0]->MultiSelect);
    EXPECT_EQ(Form->DialogList[0]->Filter,
              "Text files (*.txt)|*.txt|HTML files (*.htm;*.html)|*.htm;*.html|All files (*)|*");
    EXPECT_EQ(Form->DialogList[2]->Kind, TFileDialog::dkSave);
    EXPECT_EQ(Form->DialogList[2]->DefaultExt, "txt");
    EXPECT_EQ(Form->DialogList[2]->Filter, "Text files (*.txt)|*.txt|All files (*)|*");
}

TEST_F(MainFormTest, ControlsCarryTheirNamesCaptionsBuddiesAndTabOrder)
{
    const std::vector<std::pair<const char*, QString>> captions = {
        {"Label1", QStringLiteral("F&rom:")},
        {"Label2", QStringLiteral("T&o:")},
        {"Label21", QStringLiteral("Tr&anslation:")},
        {"Label22", QStringLiteral("&Buffer size:")},
        {"RadioButton11", QStringLiteral("O&utput to directory:")},
        {"RadioButton12", QStringLiteral("Out&put with prefix:")},
        {"RadioButton13", QStringLiteral("Over&write source files")},
        {"CheckBox11", QStringLiteral("Ba&ckup with prefix:")},
        {"Button11", QStringLiteral("...")},
    };
    for (const auto& [name, caption] : captions) {
        auto* widget = Form->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(widget, nullptr) << name;
        if (auto* label = qobject_cast<QLabel*>(widget))
            EXPECT_EQ(label->text(), caption) << name;
        else
            EXPECT_EQ(static_cast<QAbstractButton*>(widget)->text(), caption) << name;
    }
    EXPECT_EQ(Form->GroupBox1->title(), QStringLiteral("Output"));
    EXPECT_EQ(Form->Label1->buddy(), Form->ComboBox1);
    EXPECT_EQ(Form->Label2->buddy(), Form->ComboBox2);
    EXPECT_EQ(Form->Label21->buddy(), Form->ComboBox3);
    EXPECT_EQ(Form->Label22->buddy(), Form->Edit1);

    const std::vector<QWidget*> order = {Form->ComboBox1,     Form->ComboBox2, Form->ComboBox3,     Form->Edit1,
                                         Form->RadioButton11, Form->Edit11,    Form->Button11,      Form->RadioButton12,
                                         Form->Edit12,        Form->RadioButton13, Form->CheckBox11, Form->Edit13};
    std::vector<QWidget*> chain;
    QWidget* widget = Form->ComboBox1;
    do {
        if (std::find(order.begin(), order.end(), widget) != order.end())
            chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != Form->ComboBox1 && chain.size() < order.size());
    EXPECT_EQ(chain, order);

    EXPECT_EQ(Form->FilesT1->toolTip(), QStringLiteral("Convert character encodings"));
    EXPECT_EQ(Form->SwapFromAndToT1->toolTip(), QStringLiteral("Swap From and To"));
    EXPECT_EQ(Form->OptionsT1->toolTip(), QStringLiteral("Set options"));
    EXPECT_FALSE(Form->ToolBar1->isMovable());
}

TEST_F(MainFormTest, MenuItemsHaveTheirCaptionsAndShortcuts)
{
    const std::vector<std::tuple<QAction*, const char*, const char*>> items = {
        {Form->FilesM1, "&Files...", "Ctrl+O"},
        {Form->ListM1, "&List...", "Ctrl+L"},
        {Form->FolderM1, "F&older...", "Ctrl+D"},
        {Form->FilesM2, "&Files...", "Ctrl+Shift+O"},
        {Form->ListM2, "&List...", "Ctrl+Shift+L"},
        {Form->FolderM2, "F&older...", "Ctrl+Shift+D"},
        {Form->ExitM1, "E&xit", ""},
        {Form->SwapFromAndToM1, "&Swap From and To", "Ctrl+W"},
        {Form->DefaultM1, "&Default...", ""},
        {Form->ToolbarM1, "&Toolbar", ""},
        {Form->StatusBarM1, "&Status Bar", ""},
        {Form->LastPositionM1, "&Last Position", ""},
        {Form->TopmostM1, "T&opmost", ""},
        {Form->DefaultM2, "&Default...", ""},
        {Form->GroupedM1, "&Grouped", ""},
        {Form->UngroupedM1, "&Ungrouped", ""},
        {Form->SystemInformationM1, "&System Information", "Ctrl+I"},
        {Form->OptionsM1, "&Options...", "Ctrl+P"},
        {Form->HelpM2, "&Help...", "F1"},
        {Form->AboutM1, "&About", ""},
    };
    for (const auto& [action, caption, shortcut] : items) {
        EXPECT_EQ(action->text(), QString::fromLatin1(caption));
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText), QString::fromLatin1(shortcut)) << caption;
    }
    const std::vector<std::pair<QMenu*, const char*>> menus = {
        {Form->FileM1, "&File"},   {Form->ConvertM1, "&Convert"}, {Form->CheckM1, "C&heck"}, {Form->EditM1, "&Edit"},
        {Form->ViewM1, "&View"},   {Form->ToolsM1, "&Tools"},     {Form->CopyEncodingNamesM1, "&Copy Encoding Names"},
        {Form->HelpM1, "&Help"}};
    for (const auto& [menu, caption] : menus)
        EXPECT_EQ(menu->title(), QString::fromLatin1(caption));
    const QList<QAction*> file = Form->FileM1->actions();
    ASSERT_EQ(file.size(), 4);
    EXPECT_EQ(file[0], Form->ConvertM1->menuAction());
    EXPECT_EQ(file[1], Form->CheckM1->menuAction());
    EXPECT_TRUE(file[2]->isSeparator());
    EXPECT_EQ(file[3], Form->ExitM1);
    EXPECT_EQ(Form->CheckM1->actions(), (QList<QAction*>{Form->FilesM2, Form->ListM2, Form->FolderM2}));
    for (QAction* item : {Form->ToolbarM1, Form->StatusBarM1, Form->LastPositionM1, Form->TopmostM1})
        EXPECT_TRUE(item->isCheckable());
}

TEST_F(MainFormTest, EncodingNameIsCheckedWhenTheBoxIsLeft)
{
    Show();
    Form->ComboBox1->setFocus();

    // An unknown name: reported, the focus comes back, the text stays.
    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    Form->ComboBox1->setEditText(QStringLiteral("NO-SUCH-ENCODING"));
    QTest::keyClick(Form->ComboBox1, Qt::Key_Tab);
    QTRY_VERIFY(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Select an item in the list.")});
    EXPECT_EQ(driver.Captions, QStringList{QStringLiteral("Lumiva")});
    QTRY_COMPARE(Focused(), Form->ComboBox1);
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("NO-SUCH-ENCODING"));
    // The test platform gives the activation back to no window when a box closes.
    Activate();

    // A known name in other letter case takes the list's spelling.
    Form->ComboBox1->setEditText(QStringLiteral("utf-8"));
    QTest::keyClick(Form->ComboBox1, Qt::Key_Tab);
    EXPECT_EQ(Focused(), Form->ComboBox2);
    FlushPostedEvents();
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("UTF-8"));
    EXPECT_EQ(Focused(), Form->ComboBox2);
    EXPECT_TRUE(driver.Finished());
}

TEST_F(MainFormTest, EnterInAnEncodingBoxChecksItWithoutLeaving)
{
    Show();
    Form->ComboBox2->setFocus();
    QSignalSpy returns(Form->ComboBox2->lineEdit(), &QLineEdit::returnPressed);
    const int count = Form->ComboBox2->count();

    Form->ComboBox2->setEditText(QStringLiteral("utf-16le"));
    QTest::keyClick(Form->ComboBox2, Qt::Key_Return);
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("UTF-16LE"));
    EXPECT_EQ(Focused(), Form->ComboBox2);

    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    Form->ComboBox2->setEditText(QStringLiteral("Klingon"));
    QTest::keyClick(Form->ComboBox2, Qt::Key_Enter);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Select an item in the list.")});
    EXPECT_EQ(Focused(), Form->ComboBox2);

    // The key never reaches the box: nothing is added, no return is seen.
    EXPECT_EQ(returns.count(), 0);
    EXPECT_EQ(Form->ComboBox2->count(), count);
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("Klingon"));
}

TEST_F(MainFormTest, EncodingBoxWithoutItemsAcceptsAnyText)
{
    Form->ComboBox2->clear();
    Form->ComboBox2->setEditText(QStringLiteral("anything at all"));
    EXPECT_EQ(ErrorOf([&] { Form->Controls->ValidateControl(Form->ComboBox2); }), "(none)");
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("anything at all"));
    // The other box still has its list.
    Form->ComboBox1->setEditText(QStringLiteral("anything at all"));
    EXPECT_EQ(ErrorOf([&] { Form->Controls->ValidateControl(Form->ComboBox1); }), "Select an item in the list");
}

TEST_F(MainFormTest, EveryRuleRaisesItsMessageAndFocusesTheFaultyControl)
{
    Show();
    struct TCase {
        QLineEdit* Edit;
        const char* Text;
        const char* Message;
    };
    const std::vector<TCase> cases = {
        {Form->Edit1, "0", "Set a number greater than 0"},
        {Form->Edit1, "-5", "Set a number greater than 0"},
        {Form->Edit1, "abc", "Set a number greater than 0"},
        {Form->Edit1, "", "Set a number greater than 0"},
        {Form->Edit1, "12x", "Set a number greater than 0"},
        {Form->Edit1, "4096", "(none)"},
        {Form->Edit1, "$10", "(none)"},
        {Form->Edit11, "", "Set text"},
        {Form->Edit11, "temp/out", "Set an absolute path"},
        {Form->Edit11, "LMV Output", "Set an absolute path"},
        {Form->Edit11, "/tmp/out", "(none)"},
        {Form->Edit12, "", "Set text"},
        {Form->Edit12, "Out;put", "Delete invalid file characters"},
        {Form->Edit12, "Out:put", "Delete invalid file characters"},
        {Form->Edit12, "Out/put", "Delete invalid file characters"},
        {Form->Edit12, "Output - ", "(none)"},
        {Form->Edit13, "", "Set text"},
        {Form->Edit13, "Back;up", "Delete invalid file characters"},
        {Form->Edit13, "Back:up", "Delete invalid file characters"},
        {Form->Edit13, "Backup - ", "(none)"},
    };
    Form->RadioButton11->setChecked(true);
    for (const TCase& c : cases) {
        // The edit under test must be able to take the focus.
        if (c.Edit == Form->Edit12)
            Form->RadioButton12->setChecked(true);
        if (c.Edit == Form->Edit13) {
            Form->RadioButton13->setChecked(true);
            Form->CheckBox11->setChecked(true);
        }
        Form->ComboBox1->setFocus();
        c.Edit->setText(QString::fromLatin1(c.Text));
        EXPECT_EQ(ErrorOf([&] { Form->Controls->ValidateControl(c.Edit); }), c.Message) << c.Edit->objectName().toStdString()
                                                                                << " '" << c.Text << "'";
        if (std::string(c.Message) != "(none)")
            EXPECT_EQ(Focused(), c.Edit) << c.Edit->objectName().toStdString();
        else
            EXPECT_EQ(Focused(), Form->ComboBox1);
    }
}

TEST_F(MainFormTest, LeavingAnEditShowsTheErrorReportAndKeepsTheFocus)
{
    Show();
    Form->Edit1->setFocus();
    Form->Edit1->setText(QStringLiteral("0"));
    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    QTest::keyClick(Form->Edit1, Qt::Key_Tab);
    QTRY_VERIFY(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Set a number greater than 0.")});
    QTRY_COMPARE(Focused(), Form->Edit1);
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("0"));
}

TEST_F(MainFormTest, AnErrorBoxTakingTheFocusStartsNoSecondCheck)
{
    Show();
    Form->Edit11->setText(QString());
    Form->Edit1->setText(QStringLiteral("-1"));
    Form->Edit1->setFocus();
    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    // The mouse moves the focus to an edit that is itself invalid; only the left one is reported,
    // and putting the focus back on it checks nothing else.
    Form->Edit11->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(driver.Done());
    FlushPostedEvents();
    FlushPostedEvents();
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Set a number greater than 0.")});
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(Focused(), Form->Edit1);
}

TEST_F(MainFormTest, LosingTheActivationOrOpeningAListIsNotLeaving)
{
    Show();
    Form->Edit1->setFocus();
    Form->Edit1->setText(QStringLiteral("0"));
    TModalScript driver;
    QFocusEvent deactivated(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(Form->Edit1, &deactivated);
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(Form->Edit1, &popup);
    FlushPostedEvents();
    EXPECT_TRUE(driver.Finished());
}

TEST_F(MainFormTest, GetControlsCommitsAllControlsOrNothing)
{
    Show();
    Form->ComboBox1->setEditText(QStringLiteral("ISO-8859-1"));
    Form->ComboBox2->setEditText(QStringLiteral("UTF-8"));
    Form->ComboBox3->setCurrentIndex(2);
    Form->Edit1->setText(QStringLiteral("1024"));
    Form->RadioButton12->setChecked(true);
    Form->Edit11->setText(QStringLiteral("/out"));
    Form->Edit12->setText(QStringLiteral("New "));
    Form->CheckBox11->setChecked(false);
    Form->Edit13->setText(QStringLiteral("Old "));
    Form->GetControls();
    const TConvertOptions expected{"ISO-8859-1", "UTF-8", trTransliterate, 1024, omPrefix, "/out", "New ", false, "Old "};
    EXPECT_EQ(Form->ConvertOptions, expected);

    // A broken rule in the focused control: nothing is stored.
    Form->Edit1->setText(QStringLiteral("0"));
    Form->Edit1->setFocus();
    EXPECT_EQ(ErrorOf([&] { Form->GetControls(); }), "Set a number greater than 0");
    EXPECT_EQ(Form->ConvertOptions, expected);

    // Unfocused controls are taken as they stand, except the translation and output checks.
    Form->Edit1->setText(QStringLiteral("1024"));
    Form->ComboBox1->setFocus();
    Form->ComboBox3->setCurrentIndex(-1);
    EXPECT_EQ(ErrorOf([&] { Form->GetControls(); }), "Select an item");
    EXPECT_EQ(Focused(), Form->ComboBox3);
    EXPECT_EQ(Form->ConvertOptions, expected);
}

TEST_F(MainFormTest, OutOfRangeValuesLeaveListsAndButtonsUnselected)
{
    Show();
    Form->ConvertOptions.Translation = 7;
    Form->ConvertOptions.Output = -1;
    Form->SetControls(false);
    EXPECT_EQ(Form->ComboBox3->currentIndex(), -1);
    EXPECT_FALSE(Form->RadioButton11->isChecked());
    EXPECT_FALSE(Form->RadioButton12->isChecked());
    EXPECT_FALSE(Form->RadioButton13->isChecked());
    EXPECT_FALSE(Form->Edit11->isEnabled());
    EXPECT_FALSE(Form->CheckBox11->isEnabled());

    Form->ComboBox3->setCurrentIndex(0);
    Form->ComboBox1->setFocus();
    EXPECT_EQ(ErrorOf([&] { Form->GetControls(); }), "Select an item");
    EXPECT_EQ(Focused(), Form->RadioButton11);
    // Whichever button is checked against, the error is on the first.
    Form->ComboBox1->setFocus();
    EXPECT_EQ(ErrorOf([&] { Form->Controls->ValidateControl(Form->RadioButton13); }), "Select an item");
    EXPECT_EQ(Focused(), Form->RadioButton11);

    // The buttons stay exclusive afterwards.
    Form->RadioButton12->setChecked(true);
    Form->RadioButton13->setChecked(true);
    EXPECT_FALSE(Form->RadioButton12->isChecked());
}

TEST_F(MainFormTest, OutputChoiceEnablesItsOwnFields)
{
    Show();
    // Edit11, Button11, Edit12, CheckBox11, Edit13.
    const auto expect = [&](std::vector<bool> Enabled, const char* Where) {
        EXPECT_EQ((std::vector<bool>{Form->Edit11->isEnabled(), Form->Button11->isEnabled(), Form->Edit12->isEnabled(),
                                     Form->CheckBox11->isEnabled(), Form->Edit13->isEnabled()}),
                  Enabled)
            << Where;
    };
    expect({true, true, false, false, false}, "directory");
    Form->RadioButton12->click();
    expect({false, false, true, false, false}, "prefix");
    Form->RadioButton13->click();
    expect({false, false, false, true, true}, "overwrite with backup");
    Form->CheckBox11->click();
    expect({false, false, false, true, false}, "overwrite without backup");
    Form->RadioButton11->click();
    expect({true, true, false, false, false}, "directory again");
}

TEST_F(MainFormTest, SwapExchangesTheNamesAndKeepsTheFocus)
{
    Show();
    Form->ComboBox2->setFocus();
    Form->SwapFromAndToM1->trigger();
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("UTF-16"));
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("UTF-8"));
    EXPECT_EQ(Focused(), Form->ComboBox2);

    // The tool button does the same.
    QTest::mouseClick(Form->SwapFromAndToT1, Qt::LeftButton);
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("UTF-8"));
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("UTF-16"));

    // The focused control is checked first; an error stops the swap.
    Form->Edit1->setFocus();
    Form->Edit1->setText(QStringLiteral("x"));
    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    Form->SwapFromAndToM1->trigger();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Set a number greater than 0.")});
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("UTF-8"));
    EXPECT_EQ(Focused(), Form->Edit1);
}

TEST_F(MainFormTest, EditDefaultRestoresTheControlsOnlyAfterOk)
{
    Show();
    Form->Edit1->setText(QStringLiteral("77"));
    Form->RadioButton13->setChecked(true);
    const TConvertOptions before = Form->ConvertOptions;

    TModalScript driver;
    driver.Box(QMessageBox::Cancel);
    Form->DefaultM1->trigger();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Set default values?")});
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("77"));

    driver.Box(QMessageBox::Ok);
    Form->DefaultM1->trigger();
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("65536"));
    EXPECT_TRUE(Form->RadioButton11->isChecked());
    EXPECT_TRUE(Form->Edit11->isEnabled());
    EXPECT_EQ(Focused(), Form->ComboBox1);
    EXPECT_EQ(Form->ConvertOptions, before);
}

TEST_F(MainFormTest, ViewMenuTogglesBarsAndTheWindowKeepsToItsContents)
{
    Show();
    const QSize full = Form->size();
    EXPECT_EQ(Form->minimumSize(), Form->maximumSize());
    EXPECT_EQ(Form->size(), Form->maximumSize());

    Form->ToolbarM1->trigger();
    EXPECT_FALSE(Form->ViewOptions.ToolBar);
    EXPECT_FALSE(Form->ToolBar1->isVisible());
    EXPECT_FALSE(Form->ToolbarM1->isChecked());
    QTRY_VERIFY(Form->height() < full.height());

    Form->StatusBarM1->trigger();
    EXPECT_FALSE(Form->ViewOptions.StatusBar);
    EXPECT_FALSE(Form->StatusBar1->isVisible());
    EXPECT_FALSE(Form->StatusBarM1->isChecked());
    // Only the menu and the option panel are left.
    QTRY_COMPARE(Form->height(), Form->menuBar()->height() + Form->centralWidget()->sizeHint().height());
    EXPECT_EQ(Form->width(), full.width());
    EXPECT_EQ(Form->minimumSize(), Form->maximumSize());

    Form->LastPositionM1->trigger();
    EXPECT_TRUE(Form->ViewOptions.LastPosition);
    EXPECT_TRUE(Form->LastPositionM1->isChecked());

    // Default... answered with Cancel changes nothing; with OK restores the defaults.
    TModalScript driver;
    driver.Box(QMessageBox::Cancel).Box(QMessageBox::Ok);
    Form->DefaultM2->trigger();
    EXPECT_FALSE(Form->ViewOptions.ToolBar);
    Form->DefaultM2->trigger();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(driver.Texts, (QStringList{QStringLiteral("Set default values?"), QStringLiteral("Set default values?")}));
    EXPECT_EQ(Form->ViewOptions, DefaultViewOptions());
    EXPECT_TRUE(Form->ToolBar1->isVisible());
    EXPECT_TRUE(Form->StatusBar1->isVisible());
    EXPECT_TRUE(Form->ToolbarM1->isChecked());
    EXPECT_FALSE(Form->LastPositionM1->isChecked());
    QTRY_COMPARE(Form->size(), full);
}

TEST_F(MainFormTest, ViewDefaultWithDefaultsAlreadySetChangesNothing)
{
    Show();
    Form->ToolBar1->setVisible(false); // not through the options: applying them would show it again
    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    Form->DefaultM2->trigger();
    EXPECT_TRUE(driver.Done());
    EXPECT_FALSE(Form->ToolBar1->isVisible());
    EXPECT_TRUE(Form->ToolbarM1->isChecked());
}

TEST_F(MainFormTest, TopmostKeepsPlaceSizeAndVisibility)
{
    Show();
    const QPoint place = Form->pos();
    const QSize size = Form->size();
    Form->TopmostM1->trigger();
    EXPECT_TRUE(Form->ViewOptions.Topmost);
    EXPECT_TRUE(Form->TopmostM1->isChecked());
    EXPECT_TRUE(Form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->pos(), place);
    EXPECT_EQ(Form->size(), size);
    EXPECT_FALSE(Form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    Form->TopmostM1->trigger();
    EXPECT_FALSE(Form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->pos(), place);
    EXPECT_EQ(Form->size(), size);
}

TEST_F(MainFormTest, OptionsCommandAndToolButtonOpenTheOptionsDialog)
{
    Show();
    int shown = 0;
    auto cancelOptions = [&shown](QWidget* W) {
        ++shown;
        static_cast<TOptionsDialog*>(W)->Button2->click();
    };
    auto isOptions = [this](QWidget* W) { return W == Form->OptionsDialog; };
    TModalScript driver;
    driver.Step(isOptions, cancelOptions).Step(isOptions, cancelOptions);
    Form->OptionsM1->trigger();
    QTest::mouseClick(Form->OptionsT1, Qt::LeftButton);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(Form->OptionsDialog->parent(), Form.get());
}

// A control that breaks its rule keeps the window open (StartupTest); one that passes is taken.
TEST_F(MainFormTest, ExitTakesTheControlsAndCloses)
{
    Show();
    Form->Edit1->setFocus();
    Form->Edit1->setText(QStringLiteral("100"));
    Form->ExitM1->trigger();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->ConvertOptions.BufferSize, 100);
}

TEST_F(MainFormTest, AcceptsDragsOfLocalFilesOnly)
{
    Show();
    const auto accepted = [this](const std::function<void(QMimeData&)>& Fill) {
        QMimeData mime;
        Fill(mime);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(Form.get(), &enter);
        return enter.isAccepted();
    };
    EXPECT_TRUE(accepted([](QMimeData& M) { M.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))}); }));
    EXPECT_FALSE(accepted([](QMimeData& M) { M.setText(QStringLiteral("hello")); }));
    EXPECT_FALSE(accepted([](QMimeData& M) { M.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))}); }));
}

TEST_F(MainFormTest, FolderButtonOpensTheBrowserAtTheCurrentFolder)
{
    Show();
    lmvtest::TempDir start;
    lmvtest::TempDir target;
    Form->Edit11->setText(Q(start.Path()));

    QString title;
    QString opened;
    TModalScript driver;
    driver.FileDialog([&](QFileDialog* Dialog) {
        title = Dialog->windowTitle();
        opened = Dialog->directory().absolutePath();
        Dialog->setDirectory(Q(target.Path()));
        static_cast<QDialog*>(Dialog)->accept();
    });
    QTest::mouseClick(Form->Button11, Qt::LeftButton);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(title, QStringLiteral("Select the output directory."));
    EXPECT_EQ(opened, Q(start.Path()));
    EXPECT_EQ(Form->Edit11->text(), Q(target.Path()));

    // Cancel changes nothing.
    driver.FileDialog([](QFileDialog* Dialog) { Dialog->reject(); });
    QTest::mouseClick(Form->Button11, Qt::LeftButton);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(Form->Edit11->text(), Q(target.Path()));
}

} // namespace
