#include "ui/OptionsDialog.h"

#include "ui/MessageBox.h"

#include "tests/ui/ModalDriver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

namespace {

using lmvtest::TModalDriver;

QStringList ItemsOf(const QComboBox* ComboBox)
{
    QStringList items;
    for (int i = 0; i < ComboBox->count(); ++i)
        items << ComboBox->itemText(i);
    return items;
}

// The positions of the UTF-8, UTF-16 and UTF-32 lists and the log box's check.
using TShown = std::tuple<int, int, int, bool>;

TShown Shown(const TOptionsDialog* Window)
{
    return {Window->ComboBox1->currentIndex(), Window->ComboBox2->currentIndex(), Window->ComboBox3->currentIndex(),
            Window->CheckBox1->isChecked()};
}

// Expects the error report with Text and closes it. Back on the dialog, expects the focus on
// Control and activates the dialog, as the window manager would.
void ExpectReport(TModalDriver& Driver, const QString& Text, QComboBox* TOptionsDialog::*Control)
{
    Driver.When<QMessageBox>("error report", [Text](QMessageBox* Box) {
        EXPECT_EQ(Box->text(), Text);
        EXPECT_EQ(Box->icon(), QMessageBox::Critical);
        EXPECT_EQ(Box->windowTitle(), ApplicationTitle());
        QTest::mouseClick(Box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    Driver.WhenShown<TOptionsDialog>("back on the dialog", [Control](TOptionsDialog* Window) {
        EXPECT_TRUE(Window->isVisible());
        EXPECT_EQ(Window->focusWidget(), Window->*Control);
        Window->activateWindow();
    });
}

TEST(OptionsDialog, DesignedForm)
{
    TOptionsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(ItemsOf(dialog.ComboBox1),
              (QStringList{QStringLiteral("Default"), QStringLiteral("Without BOM"), QStringLiteral("WIth BOM")}));
    const QStringList utf16{QStringLiteral("Default"), QStringLiteral("Without BOM"), QStringLiteral("LE with BOM"),
                            QStringLiteral("BE with BOM")};
    EXPECT_EQ(ItemsOf(dialog.ComboBox2), utf16);
    EXPECT_EQ(ItemsOf(dialog.ComboBox3), utf16);
    EXPECT_EQ(dialog.CheckBox1->text(), QStringLiteral("&Always save log"));
    EXPECT_EQ(dialog.Button1->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.Button2->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dialog.Button3->text(), QStringLiteral("&Default"));
    EXPECT_TRUE(dialog.Button1->isDefault());

    // The labels' accelerators lead to the lists.
    QStringList captions;
    for (QComboBox* list : {dialog.ComboBox1, dialog.ComboBox2, dialog.ComboBox3}) {
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            if (label->buddy() == list)
                captions << label->text();
    }
    EXPECT_EQ(captions, (QStringList{QStringLiteral("UTF-&8:"), QStringLiteral("UTF-&16:"), QStringLiteral("UTF-&32:")}));

    // Tab order as designed.
    const QList<QWidget*> order{dialog.ComboBox1,         dialog.ComboBox2,       dialog.ComboBox3,
                                dialog.CheckBox1,         dialog.Folders.CheckBox2, dialog.Folders.Edit1,
                                dialog.Folders.Edit2,     dialog.Folders.CheckBox3, dialog.Folders.CheckBox4,
                                dialog.Button1,           dialog.Button2,         dialog.Button3};
    QList<QWidget*> chain;
    QWidget* widget = dialog.ComboBox1;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget;
        widget = widget->nextInFocusChain();
    } while (widget != dialog.ComboBox1);
    EXPECT_EQ(chain, order);
}

TEST(OptionsDialog, ShowsTheMembersAndCommitsOnOk)
{
    TOptionsDialog dialog;
    TModalDriver driver;
    driver.When<TOptionsDialog>("defaults shown", [](TOptionsDialog* Window) {
        EXPECT_EQ(Shown(Window), TShown(0, 0, 0, false));
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox1);
        Window->ComboBox1->setCurrentIndex(2);
        Window->ComboBox2->setCurrentIndex(2);
        Window->ComboBox3->setCurrentIndex(3);
        Window->CheckBox1->setChecked(true);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.ConvertSpecs, (TConvertSpecs{usWithBom, usLeWithBom, usBeWithBom}));
    EXPECT_TRUE(dialog.AssistOptions.AlwaysSaveLog);

    // Reopened, the stored choices are shown; Cancel after a change keeps them.
    driver.When<TOptionsDialog>("stored shown", [](TOptionsDialog* Window) {
        EXPECT_EQ(Shown(Window), TShown(2, 2, 3, true));
        Window->ComboBox2->setCurrentIndex(1);
        QTest::mouseClick(Window->Button2, Qt::LeftButton);
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.ConvertSpecs, (TConvertSpecs{usWithBom, usLeWithBom, usBeWithBom}));
    EXPECT_TRUE(driver.Done());
}

TEST(OptionsDialog, DefaultShowsDefaultsWithoutCommitting)
{
    TOptionsDialog dialog;
    dialog.ConvertSpecs = TConvertSpecs{usWithoutBom, usBeWithBom, usLeWithBom};
    dialog.AssistOptions.AlwaysSaveLog = true;
    const TConvertSpecs stored = dialog.ConvertSpecs;

    TModalDriver driver;
    driver.When<TOptionsDialog>("Default, then Esc", [](TOptionsDialog* Window) {
        QTest::mouseClick(Window->Button3, Qt::LeftButton);
        EXPECT_TRUE(Window->isVisible());
        EXPECT_EQ(Shown(Window), TShown(0, 0, 0, false));
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.ConvertSpecs, stored);
    EXPECT_TRUE(dialog.AssistOptions.AlwaysSaveLog);

    driver.When<TOptionsDialog>("old choices again, then Default and OK", [](TOptionsDialog* Window) {
        EXPECT_EQ(Shown(Window), TShown(1, 3, 2, true));
        // Alt+D is the Default button's accelerator; the button shows itself pressed a moment.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    });
    driver.Then(
        "defaults shown, OK",
        [&dialog](QWidget*) { return dialog.ComboBox2->currentIndex() == 0 && !dialog.CheckBox1->isChecked(); },
        [&dialog](QWidget*) {
            EXPECT_EQ(dialog.ComboBox1->currentIndex(), 0);
            EXPECT_EQ(dialog.ComboBox3->currentIndex(), 0);
            QTest::mouseClick(dialog.Button1, Qt::LeftButton);
        });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.ConvertSpecs, (TConvertSpecs{0, 0, 0}));
    EXPECT_FALSE(dialog.AssistOptions.AlwaysSaveLog);
    EXPECT_TRUE(driver.Done());
}

TEST(OptionsDialog, OkWithAListWithoutSelectionStaysOpen)
{
    TOptionsDialog dialog;
    // As read from a settings file: 2 has no place in the UTF-16 list, 9 none in the UTF-32 list.
    dialog.ConvertSpecs = TConvertSpecs{usWithBom, usWithBom, 9};

    TModalDriver driver;
    driver.When<TOptionsDialog>("no selection shown, OK", [](TOptionsDialog* Window) {
        EXPECT_EQ(Window->ComboBox1->currentIndex(), 2);
        EXPECT_EQ(Window->ComboBox2->currentIndex(), -1);
        EXPECT_EQ(Window->ComboBox3->currentIndex(), -1);
        // A valid change before the faulty list must not be committed alone.
        Window->ComboBox1->setCurrentIndex(1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    ExpectReport(driver, QStringLiteral("Select an item."), &TOptionsDialog::ComboBox2);
    driver.When<TOptionsDialog>("UTF-16 list focused, fix it, OK", [&dialog](TOptionsDialog* Window) {
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox2);
        // Nothing committed yet.
        EXPECT_EQ(dialog.ConvertSpecs, (TConvertSpecs{usWithBom, usWithBom, 9}));
        Window->ComboBox2->setCurrentIndex(3);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    ExpectReport(driver, QStringLiteral("Select an item."), &TOptionsDialog::ComboBox3);
    driver.When<TOptionsDialog>("UTF-32 list focused, fix it, OK", [](TOptionsDialog* Window) {
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox3);
        Window->ComboBox3->setCurrentIndex(1);
        QTest::mouseClick(Window->Button1, Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(dialog.ConvertSpecs, (TConvertSpecs{usWithoutBom, usBeWithBom, usWithoutBom}));
}

TEST(OptionsDialog, LeavingAListWithoutSelectionTakesTheFocusBack)
{
    TOptionsDialog dialog;
    dialog.ConvertSpecs = TConvertSpecs{usDefault, usWithBom, usDefault};

    int reports = 0;
    TModalDriver driver;
    driver.When<TOptionsDialog>("Tab to the UTF-16 list and on", [](TOptionsDialog* Window) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    });
    driver.When<QMessageBox>("error report", [&reports](QMessageBox* Box) {
        ++reports;
        EXPECT_EQ(Box->text(), QStringLiteral("Select an item."));
        Box->accept();
    });
    driver.WhenShown<TOptionsDialog>("back on the dialog", [](TOptionsDialog* Window) {
        EXPECT_EQ(Window->focusWidget(), Window->ComboBox2);
        Window->activateWindow();
    });
    driver.When<TOptionsDialog>("back on the list", [](TOptionsDialog* Window) {
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox2);
        // A list with a selection lets the focus go.
        Window->ComboBox2->setCurrentIndex(1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox3);
    });
    driver.When<TOptionsDialog>("stays on the next list", [](TOptionsDialog* Window) {
        EXPECT_EQ(QApplication::focusWidget(), Window->ComboBox3);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(reports, 1);
    // Cancel commits nothing.
    EXPECT_EQ(dialog.ConvertSpecs, (TConvertSpecs{usDefault, usWithBom, usDefault}));
}

} // namespace
