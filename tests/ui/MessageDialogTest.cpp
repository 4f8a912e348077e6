#include "ui/MessageDialog.h"

#include "tests/ui/ModalDriver.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using lmvtest::TModalDriver;

QPushButton* ButtonOf(QWidget* Dialog, int Index)
{
    return Dialog->findChild<QPushButton*>(QStringLiteral("Button%1").arg(Index));
}

// What the platform does for Alt+F4 or the close box.
bool CloseFromPlatform(QWidget* Dialog)
{
    return Dialog->windowHandle()->close();
}

void FillButtons(TMessageDialog& Dialog, int Count)
{
    for (int i = 0; i < Count; ++i)
        Dialog.Buttons.Add("B" + std::to_string(i));
}

// Presses Key on the focused button; a dialog that stays open fails the test and is cancelled.
void PressToAnswer(QDialog* Window, Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Key, Modifiers);
    if (Window->isVisible()) {
        ADD_FAILURE() << "the key did not answer the dialog";
        Window->reject();
    }
}

TEST(MessageDialog, WithCancelButtonEscAndCloseGiveItsIndex)
{
    TMessageDialog dialog;
    dialog.Buttons = {"&Retry", "&Skip", "Cancel"};
    dialog.CancelButton = 2;

    TModalDriver driver;
    driver.When<QDialog>("Esc", [](QDialog*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(dialog.Execute(), 2);

    driver.When<QDialog>("close", [](QDialog* Window) {
        EXPECT_TRUE(Window->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(CloseFromPlatform(Window));
    });
    EXPECT_EQ(dialog.Execute(), 2);

    driver.When<QDialog>("click", [](QDialog* Window) { QTest::mouseClick(ButtonOf(Window, 0), Qt::LeftButton); });
    EXPECT_EQ(dialog.Execute(), 0);
    EXPECT_TRUE(driver.Done());
}

// No cancel button, or one out of range: Esc and closing are refused, only a button answers.
TEST(MessageDialog, WithoutCancelButtonOnlyAButtonCloses)
{
    for (const int cancel : {-1, 2}) {
        TMessageDialog dialog;
        dialog.Buttons = {"&Keep", "&Replace"};
        dialog.CancelButton = cancel;

        TModalDriver driver;
        driver.When<QDialog>("Esc and close refused", [](QDialog* Window) {
            EXPECT_FALSE(Window->windowFlags() & Qt::WindowCloseButtonHint);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            EXPECT_TRUE(Window->isVisible());
            EXPECT_FALSE(CloseFromPlatform(Window));
            EXPECT_TRUE(Window->isVisible());
            EXPECT_FALSE(Window->close());
            EXPECT_TRUE(Window->isVisible());
        });
        driver.When<QDialog>("click", [](QDialog* Window) { QTest::mouseClick(ButtonOf(Window, 1), Qt::LeftButton); });
        EXPECT_EQ(dialog.Execute(), 1) << cancel;
        EXPECT_TRUE(driver.Done());
    }
}

TEST(MessageDialog, WithoutButtonsClosingGivesMinusOne)
{
    TMessageDialog dialog;
    dialog.Message = "Nothing to choose";

    TModalDriver driver;
    driver.When<QDialog>("close", [](QDialog* Window) {
        EXPECT_TRUE(Window->findChildren<QPushButton*>().isEmpty());
        EXPECT_TRUE(Window->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(CloseFromPlatform(Window));
    });
    EXPECT_EQ(dialog.Execute(), -1);

    driver.When<QDialog>("Esc", [](QDialog* Window) { QTest::keyClick(Window, Qt::Key_Escape); });
    EXPECT_EQ(dialog.Execute(), -1);
    EXPECT_TRUE(driver.Done());
}

TEST(MessageDialog, InvalidFieldsFailBeforeAnyWindow)
{
    const auto failure = [](int Count, std::int32_t DialogType) -> std::string {
        TMessageDialog dialog;
        FillButtons(dialog, Count);
        dialog.DialogType = DialogType;
        TModalDriver driver;
        driver.Then(
            "no window", [](QWidget*) { return true; },
            [](QWidget* Window) {
                ADD_FAILURE() << "a window was shown";
                Window->hide();
            });
        const int windows = static_cast<int>(QApplication::topLevelWidgets().size());
        try {
            dialog.Execute();
        } catch (const TMessageDialog::EMessageDialogError& E) {
            EXPECT_EQ(driver.Consumed(), 0);
            EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
            return E.what();
        }
        return "no error";
    };
    EXPECT_EQ(failure(10, dtPlain), "Too many dialog buttons");
    EXPECT_EQ(failure(2, 6), "Invalid dialog type");
    EXPECT_EQ(failure(2, -1), "Invalid dialog type");
    // The button count is checked first.
    EXPECT_EQ(failure(10, 6), "Too many dialog buttons");
}

TEST(MessageDialog, NineButtonsAreAllowed)
{
    TMessageDialog dialog;
    FillButtons(dialog, 9);
    dialog.DialogType = dtInformation;

    TModalDriver driver;
    driver.When<QDialog>("last", [](QDialog* Window) {
        EXPECT_EQ(Window->findChildren<QPushButton*>().size(), 9);
        QTest::mouseClick(ButtonOf(Window, 8), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.Execute(), 8);
}

TEST(MessageDialog, MessageAmpersandShownAsItself)
{
    TMessageDialog dialog;
    dialog.Title = "Lumiva";
    dialog.Message = "Copy & convert\r\nR&D";
    dialog.Buttons = {"OK"};
    dialog.CancelButton = 0;

    TModalDriver driver;
    driver.When<QDialog>("look", [](QDialog* Window) {
        auto* label = Window->findChild<QLabel*>(QStringLiteral("Message"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), QStringLiteral("Copy & convert\nR&D"));
        EXPECT_EQ(Window->windowTitle(), QStringLiteral("Lumiva"));
        Window->close();
    });
    EXPECT_EQ(dialog.Execute(), 0);
}

TEST(MessageDialog, CaptionAcceleratorPressesItsButton)
{
    TMessageDialog dialog;
    dialog.Buttons = {"&Yes", "Yes to &All", "&No", "No &to All", "Cancel"};
    dialog.CancelButton = 4;
    dialog.FocusButton = 0;

    TModalDriver driver;
    driver.When<QDialog>("Alt+T", [](QDialog* Window) {
        EXPECT_EQ(ButtonOf(Window, 3)->text(), QStringLiteral("No &to All"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
    });
    EXPECT_EQ(dialog.Execute(), 3);

    driver.When<QDialog>("T", [](QDialog*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_T); });
    EXPECT_EQ(dialog.Execute(), 3);

    driver.When<QDialog>("a", [](QDialog*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_A); });
    EXPECT_EQ(dialog.Execute(), 1);

    // "&&" shows one "&" and is no accelerator.
    dialog.Buttons = {"&&Q", "&R"};
    dialog.CancelButton = -1;
    driver.When<QDialog>("Q does nothing", [](QDialog* Window) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q);
        EXPECT_TRUE(Window->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R);
    });
    EXPECT_EQ(dialog.Execute(), 1);
    EXPECT_TRUE(driver.Done());
}

TEST(MessageDialog, RolesComeFromTheFieldsOnly)
{
    TMessageDialog dialog;
    dialog.Buttons = {"One", "Two", "Three"};
    dialog.DefaultButton = 1;
    dialog.CancelButton = 0;
    dialog.FocusButton = 2;

    TModalDriver driver;
    driver.When<QDialog>("focus and cancel", [](QDialog* Window) {
        EXPECT_EQ(QApplication::focusWidget(), ButtonOf(Window, 2));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.Execute(), 0);

    // Without a focus button the default one has the focus and answers Enter.
    dialog.FocusButton = -1;
    driver.When<QDialog>("default", [](QDialog* Window) {
        EXPECT_EQ(QApplication::focusWidget(), ButtonOf(Window, 1));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(ButtonOf(Window, i)->isDefault(), i == 1) << i;
        PressToAnswer(Window, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.Execute(), 1);

    // Without a default button Enter and Space press the focused button.
    dialog.DefaultButton = -1;
    dialog.FocusButton = 2;
    driver.When<QDialog>("Enter without default", [](QDialog* Window) { PressToAnswer(Window, Qt::Key_Return); });
    EXPECT_EQ(dialog.Execute(), 2);
    driver.When<QDialog>("Space without default", [](QDialog* Window) { PressToAnswer(Window, Qt::Key_Space); });
    EXPECT_EQ(dialog.Execute(), 2);
    EXPECT_TRUE(driver.Done());
}

TEST(MessageDialog, EnterPressesTheButtonWithTheFocus)
{
    // The overwrite question: "Yes" is the default and has the focus.
    TMessageDialog dialog;
    dialog.Buttons = {"&Yes", "Yes to &All", "&No", "No &to All", "Cancel"};
    dialog.DefaultButton = 0;
    dialog.CancelButton = 4;
    dialog.FocusButton = 0;

    TModalDriver driver;
    driver.When<QDialog>("Enter on the default", [](QDialog* Window) { PressToAnswer(Window, Qt::Key_Return); });
    EXPECT_EQ(dialog.Execute(), 0);

    driver.When<QDialog>("Tab to No, then Enter", [](QDialog* Window) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), ButtonOf(Window, 2));
        // The default frame moves with the focus, so the user sees what Enter does.
        EXPECT_TRUE(ButtonOf(Window, 2)->isDefault());
        EXPECT_FALSE(ButtonOf(Window, 0)->isDefault());
        PressToAnswer(Window, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.Execute(), 2);

    driver.When<QDialog>("keypad Enter on Cancel", [](QDialog* Window) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        ASSERT_EQ(QApplication::focusWidget(), ButtonOf(Window, 4));
        PressToAnswer(Window, Qt::Key_Enter, Qt::KeypadModifier);
    });
    EXPECT_EQ(dialog.Execute(), 4);

    driver.When<QDialog>("back on the default", [](QDialog* Window) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        ASSERT_EQ(QApplication::focusWidget(), ButtonOf(Window, 0));
        EXPECT_TRUE(ButtonOf(Window, 0)->isDefault());
        EXPECT_FALSE(ButtonOf(Window, 1)->isDefault());
        PressToAnswer(Window, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.Execute(), 0);
    EXPECT_TRUE(driver.Done());
}

TEST(MessageDialog, IconsFollowTheDialogType)
{
    const auto iconOf = [](std::int32_t DialogType, const QIcon& Icon) {
        TMessageDialog dialog;
        dialog.Buttons = {"OK"};
        dialog.CancelButton = 0;
        dialog.DialogType = DialogType;
        dialog.Icon = Icon;
        bool hasIcon = false;
        TModalDriver driver;
        driver.When<QDialog>("look", [&hasIcon](QDialog* Window) {
            const auto* label = Window->findChild<QLabel*>(QStringLiteral("Icon"));
            hasIcon = label && !label->pixmap().isNull();
            Window->close();
        });
        dialog.Execute();
        return hasIcon;
    };
    for (std::int32_t type : {dtWarning, dtError, dtInformation, dtConfirmation})
        EXPECT_TRUE(iconOf(type, QIcon())) << type;
    EXPECT_FALSE(iconOf(dtPlain, QIcon()));
    QPixmap picture(32, 32);
    picture.fill(Qt::red);
    EXPECT_TRUE(iconOf(dtCustomIcon, QIcon(picture)));
}

TEST(MessageDialog, ButtonsShareOneWidthAndAreNotClipped)
{
    TMessageDialog dialog;
    dialog.Message = "Overwrite existing file?";
    dialog.Buttons = {"&Yes", "A much longer caption than the others", "&No"};
    dialog.CancelButton = 2;
    dialog.DialogType = dtWarning;

    TModalDriver driver;
    driver.When<QDialog>("layout", [](QDialog* Window) {
        QPushButton* wide = ButtonOf(Window, 1);
        EXPECT_GE(wide->width(), wide->sizeHint().width());
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ButtonOf(Window, i)->width(), wide->width()) << i;
            EXPECT_TRUE(Window->rect().contains(ButtonOf(Window, i)->geometry())) << i;
        }
        // One row, left to right in list order.
        EXPECT_EQ(ButtonOf(Window, 0)->y(), ButtonOf(Window, 2)->y());
        EXPECT_LT(ButtonOf(Window, 0)->x(), ButtonOf(Window, 1)->x());
        EXPECT_LT(ButtonOf(Window, 1)->x(), ButtonOf(Window, 2)->x());
        // The text stands above the buttons, right of the icon.
        const auto* text = Window->findChild<QLabel*>(QStringLiteral("Message"));
        const auto* icon = Window->findChild<QLabel*>(QStringLiteral("Icon"));
        EXPECT_LE(text->geometry().bottom(), ButtonOf(Window, 0)->y());
        EXPECT_LT(icon->geometry().right(), text->x());
        Window->close();
    });
    EXPECT_EQ(dialog.Execute(), 2);
}

} // namespace
