#include "ui/ProgressDialog.h"

#include "ui/MessageBox.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"

#include "tests/ui/ModalDriver.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using lmvtest::TModalDriver;

// Swallows activation changes, as a platform that sends none.
class TNoActivation : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* Event) override { return Event->type() == QEvent::ActivationChange; }
};

TEST(ProgressDialog, Percentage)
{
    EXPECT_EQ(TProgressDialog::Percentage(0, 5), 0);
    EXPECT_EQ(TProgressDialog::Percentage(5, 5), 100);
    EXPECT_EQ(TProgressDialog::Percentage(7, 5), 100);
    EXPECT_EQ(TProgressDialog::Percentage(1, 0), 0);
    EXPECT_EQ(TProgressDialog::Percentage(1, 3), 33);
    EXPECT_EQ(TProgressDialog::Percentage(2, 3), 66);
    EXPECT_EQ(TProgressDialog::Percentage(-1, 5), 0);
    EXPECT_EQ(TProgressDialog::Percentage(1, -5), 0);
    // The product needs 64 bits.
    EXPECT_EQ(TProgressDialog::Percentage(2147483646, 2147483647), 99);
    EXPECT_EQ(TProgressDialog::Percentage(1, 2147483647), 0);

    TProgressDialog dialog;
    dialog.SetProgress(1, 3);
    EXPECT_EQ(dialog.ProgressBar1->value(), 33);
    dialog.SetProgress(9, 3);
    EXPECT_EQ(dialog.ProgressBar1->value(), 100);
}

TEST(ProgressDialog, DesignedForm)
{
    TProgressDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Progress"));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog.Button1->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(dialog.Button1->isDefault());
    EXPECT_EQ(dialog.ProgressBar1->minimum(), 0);
    EXPECT_EQ(dialog.ProgressBar1->maximum(), 100);

    // A message is shown as it is, never as markup.
    dialog.SetMessage("Save & <b>go</b>");
    EXPECT_EQ(dialog.Label1->textFormat(), Qt::PlainText);
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Save & <b>go</b>"));
}

TEST(ProgressDialog, KeysPressTheButtonAndNeverClose)
{
    TProgressDialog dialog;
    int commands = 0;
    dialog.OnCommand = [&commands, &dialog](TProgressDialog* Sender) {
        EXPECT_EQ(Sender, &dialog);
        ++commands;
    };

    TModalDriver driver;
    driver.When<TProgressDialog>("keys", [&commands](TProgressDialog* Window) {
        EXPECT_EQ(QApplication::focusWidget(), Window->Button1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_EQ(commands, 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(commands, 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(commands, 3);
        // The keys reach the dialog also when the button has no focus.
        Window->Button1->clearFocus();
        QTest::keyClick(Window, Qt::Key_Escape);
        QTest::keyClick(Window, Qt::Key_Return);
        EXPECT_EQ(commands, 5);
        QTest::mouseClick(Window->Button1, Qt::LeftButton);
        EXPECT_EQ(commands, 6);
        EXPECT_TRUE(Window->isVisible());
        Window->Finish();
    });
    dialog.ExecuteModal();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(commands, 6);
}

TEST(ProgressDialog, OnlyFinishCloses)
{
    TProgressDialog dialog;
    int commands = 0;
    dialog.OnCommand = [&commands](TProgressDialog*) { ++commands; };

    TModalDriver driver;
    driver.When<TProgressDialog>("close refused", [](TProgressDialog* Window) {
        // The dialog's slots as any caller reaches them.
        QDialog* asDialog = Window;
        EXPECT_TRUE(Window->Running);
        EXPECT_FALSE(Window->windowHandle()->close());
        EXPECT_FALSE(Window->close());
        asDialog->reject();
        EXPECT_TRUE(Window->isVisible());
        // A close with the cancel result is refused even when not running.
        Window->Running = false;
        EXPECT_FALSE(Window->windowHandle()->close());
        EXPECT_FALSE(Window->close());
        asDialog->done(QDialog::Rejected);
        EXPECT_TRUE(Window->isVisible());
        Window->Running = true;
        asDialog->done(QDialog::Accepted);
        EXPECT_TRUE(Window->isVisible());
        Window->Finish();
    });
    dialog.ExecuteModal();
    EXPECT_TRUE(driver.Done());
    EXPECT_FALSE(dialog.Running);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    // reject() presses the button rather than closing.
    EXPECT_EQ(commands, 1);
}

// Also on a platform that sends no activation, and again when the dialog is reused.
TEST(ProgressDialog, OnExecuteRunsWhenShownWithoutActivation)
{
    TProgressDialog dialog;
    TNoActivation filter;
    dialog.installEventFilter(&filter);
    for (int run = 0; run < 2; ++run) {
        int executes = 0;
        dialog.OnExecute = [&executes](TProgressDialog*) { ++executes; };
        TModalDriver driver;
        driver.Then(
            "started", [&executes](QWidget*) { return executes > 0; },
            [&dialog](QWidget* Window) {
                EXPECT_EQ(Window, &dialog);
                dialog.Finish();
            });
        dialog.ExecuteModal();
        EXPECT_TRUE(driver.Done()) << run;
    }
}

TEST(ProgressDialog, ReactivationAfterAQuestionCallsOnExecuteAgain)
{
    TProgressDialog dialog;
    int executes = 0;
    dialog.OnExecute = [&executes](TProgressDialog*) { ++executes; };

    int before = 0;
    TModalDriver driver;
    driver.Then(
        "running", [&executes](QWidget* Window) { return executes > 0 && Window->isActiveWindow(); },
        [&before, &executes](QWidget*) {
            before = executes;
            ShowMessageBox("Abort the operation?", MB_YESNO | MB_ICONEXCLAMATION);
        });
    driver.When<QMessageBox>("answer", [](QMessageBox* Box) {
        QTest::mouseClick(Box->button(QMessageBox::No), Qt::LeftButton);
    });
    // The window manager gives the focus back to the dialog once the box is gone; the offscreen
    // platform does not, so the test does it.
    driver.Then(
        "box gone", [&dialog](QWidget* Window) { return Window == &dialog; },
        [&dialog](QWidget*) { dialog.activateWindow(); });
    driver.Then(
        "called again", [&executes, &before](QWidget*) { return executes > before; },
        [&dialog](QWidget*) { dialog.Finish(); });
    dialog.ExecuteModal();
    EXPECT_TRUE(driver.Done());
    EXPECT_GT(executes, before);
}

TEST(ProgressDialog, AFailingCallbackIsReportedAndTheDialogStays)
{
    TProgressDialog dialog;
    dialog.OnCommand = [](TProgressDialog*) { throw Exception("Cannot abort"); };

    QString reported;
    TModalDriver driver;
    driver.When<TProgressDialog>("press",
                                 [](TProgressDialog* Window) { QTest::mouseClick(Window->Button1, Qt::LeftButton); });
    driver.When<QMessageBox>("report", [&reported](QMessageBox* Box) {
        reported = Box->text();
        Box->accept();
    });
    driver.WhenShown<TProgressDialog>("still there", [](TProgressDialog* Window) { Window->Finish(); });
    dialog.ExecuteModal();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(reported, QStringLiteral("Cannot abort."));
}

} // namespace
