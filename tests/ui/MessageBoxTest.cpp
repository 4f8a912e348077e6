#include "ui/DialogQuestions.h"
#include "ui/MessageDialog.h"
#include "ui/MessageBox.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"

#include "tests/common/TestSupport.h"
#include "tests/ui/ModalDriver.h"

#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <string>

namespace {

using lmvtest::TModalDriver;

using lmvtest::Look;
using lmvtest::TSeenBox;

// Expects one message box, records it and presses Button (NoButton: Esc).
void AnswerBox(TModalDriver& Driver, TSeenBox& Seen, QMessageBox::StandardButton Button)
{
    Driver.When<QMessageBox>("box", [&Seen, Button](QMessageBox* Box) {
        Seen = Look(Box);
        EXPECT_EQ(Box->textFormat(), Qt::PlainText);
        if (Button == QMessageBox::NoButton)
            QTest::keyClick(Box, Qt::Key_Escape);
        else
            QTest::mouseClick(Box->button(Button), Qt::LeftButton);
    });
}

TEST(ErrorReport, FullStopAfterALastCharacterThatSortsAfterIt)
{
    EXPECT_EQ(ErrorReportText("Set text"), "Set text.");
    EXPECT_EQ(ErrorReportText("Cannot initialize \"liblumiva-iconv.so\""), "Cannot initialize \"liblumiva-iconv.so\"");
    EXPECT_EQ(ErrorReportText("Done."), "Done.");
    EXPECT_EQ(ErrorReportText("Really?"), "Really?.");
    EXPECT_EQ(ErrorReportText("Wow!"), "Wow!");
    EXPECT_EQ(ErrorReportText("(see log)"), "(see log)");
    EXPECT_EQ(ErrorReportText("Folder /"), "Folder /.");
    EXPECT_EQ(ErrorReportText("Value 0"), "Value 0.");
    EXPECT_EQ(ErrorReportText("Trailing space "), "Trailing space ");
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST(ErrorReport, AMultibyteLastCharacterGetsAFullStop)
{
    std::string text;
    {
        lmvtest::LocaleScope locale("C.UTF-8");
        if (!locale.Active)
            GTEST_SKIP() << "no UTF-8 locale";
        text = ErrorReportText("Datei \xC3\xA4");
    }
    EXPECT_EQ(text, "Datei \xC3\xA4.");
}

TEST(MessageBox, FlagsGiveButtonsIconAndAnswer)
{
    TModalDriver driver;
    TSeenBox seen;

    AnswerBox(driver, seen, QMessageBox::No);
    EXPECT_EQ(ShowMessageBox("Abort the operation?", MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND), IDNO);
    EXPECT_EQ(seen.Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.Icon, QMessageBox::Warning);
    EXPECT_EQ(seen.Default, QMessageBox::Yes);
    EXPECT_EQ(seen.Title, ApplicationTitle());

    AnswerBox(driver, seen, QMessageBox::Yes);
    EXPECT_EQ(ShowMessageBox("Retry?", MB_YESNO | MB_ICONERROR), IDYES);
    EXPECT_EQ(seen.Icon, QMessageBox::Critical);

    AnswerBox(driver, seen, QMessageBox::NoButton);
    EXPECT_EQ(ShowMessageBox("Notice", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(seen.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.Icon, QMessageBox::Information);

    AnswerBox(driver, seen, QMessageBox::NoButton);
    EXPECT_EQ(ShowMessageBox("Go on?", MB_OKCANCEL | MB_ICONQUESTION), IDCANCEL);
    EXPECT_EQ(seen.Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(seen.Icon, QMessageBox::Question);
    EXPECT_EQ(seen.Default, QMessageBox::Ok);
    EXPECT_TRUE(driver.Done());
}

TEST(MessageBox, TextShownLiterallyWithLineBreaks)
{
    TModalDriver driver;
    TSeenBox seen;
    AnswerBox(driver, seen, QMessageBox::Ok);
    ShowMessageBox("The program cannot save settings to the following file:\r\n\r\n/a&b/Settings.ini", MB_OK,
                   QStringLiteral("System Information"));
    EXPECT_EQ(seen.Text, QStringLiteral("The program cannot save settings to the following file:\n\n/a&b/Settings.ini"));
    EXPECT_EQ(seen.Title, QStringLiteral("System Information"));
    EXPECT_EQ(seen.Icon, QMessageBox::NoIcon);
}

TEST(MessageBox, GuardedReportsWhatEscapes)
{
    TModalDriver driver;
    TSeenBox seen;

    // The error report: the message with its full stop, in an error box with the program's title.
    AnswerBox(driver, seen, QMessageBox::Ok);
    Guarded([] { throw Exception("Set a number greater than 0"); });
    EXPECT_EQ(seen.Text, QStringLiteral("Set a number greater than 0."));
    EXPECT_EQ(seen.Icon, QMessageBox::Critical);
    EXPECT_EQ(seen.Title, ApplicationTitle());
    EXPECT_EQ(seen.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // Not of the exception family: the report without a message.
    AnswerBox(driver, seen, QMessageBox::Ok);
    Guarded([] { throw 42; });
    EXPECT_TRUE(seen.Text.isEmpty());
    EXPECT_TRUE(driver.Done());

    // Nothing escapes: no box.
    int ran = 0;
    Guarded([&ran] { ++ran; });
    EXPECT_EQ(ran, 1);
}

TEST(DialogQuestions, ShowErrorWithAndWithoutException)
{
    TDialogQuestions questions;
    TModalDriver driver;
    TSeenBox seen;

    AnswerBox(driver, seen, QMessageBox::Ok);
    questions.ShowError(nullptr);
    EXPECT_EQ(seen.Text, QStringLiteral("An error occured."));
    EXPECT_EQ(seen.Icon, QMessageBox::Critical);
    EXPECT_EQ(seen.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.Title, ApplicationTitle());

    AnswerBox(driver, seen, QMessageBox::Ok);
    const Exception failure("Cannot convert character encoding");
    questions.ShowError(&failure);
    EXPECT_EQ(seen.Text, QStringLiteral("Cannot convert character encoding."));
    EXPECT_EQ(seen.Icon, QMessageBox::Critical);
    EXPECT_TRUE(driver.Done());
}

TEST(DialogQuestions, AbortQuestionIsAMessageBox)
{
    TDialogQuestions questions;
    TModalDriver driver;
    TSeenBox seen;
    AnswerBox(driver, seen, QMessageBox::Yes);
    EXPECT_EQ(questions.AskMessageBox("Abort the operation?", 0x10034), IDYES);
    EXPECT_EQ(seen.Text, QStringLiteral("Abort the operation?"));
    EXPECT_EQ(seen.Icon, QMessageBox::Warning);
    EXPECT_EQ(seen.Buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST(DialogQuestions, OverwriteQuestionIsAMessageDialog)
{
    TDialogQuestions questions;
    TMessageDialogParams params;
    params.Text = "Overwrite existing file?\r\n\r\n/tmp/a.txt\r\n\r\n";
    params.Buttons = "&Yes,\"Yes to &All\",&No,\"No &to All\",Cancel";
    params.DefaultButton = 0;
    params.CancelButton = 4;
    params.FocusButton = 0;
    params.DialogType = 0;

    TModalDriver driver;
    driver.When<QDialog>("look and press No to All", [](QDialog* Window) {
        EXPECT_EQ(Window->windowTitle(), ApplicationTitle());
        QStringList captions;
        for (int i = 0; i < 5; ++i)
            captions << Window->findChild<QPushButton*>(QStringLiteral("Button%1").arg(i))->text();
        EXPECT_EQ(captions, (QStringList{QStringLiteral("&Yes"), QStringLiteral("Yes to &All"), QStringLiteral("&No"),
                                         QStringLiteral("No &to All"), QStringLiteral("Cancel")}));
        QTest::mouseClick(Window->findChild<QPushButton*>(QStringLiteral("Button3")), Qt::LeftButton);
    });
    EXPECT_EQ(questions.AskMessageDialog(params), 3);

    // Esc and the close box answer with the cancel button.
    driver.When<QDialog>("Esc", [](QDialog*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(questions.AskMessageDialog(params), 4);
    driver.When<QDialog>("close", [](QDialog* Window) { Window->windowHandle()->close(); });
    EXPECT_EQ(questions.AskMessageDialog(params), 4);

    // A failure of the dialog reaches the caller, which takes it back to the worker.
    params.DialogType = 6;
    EXPECT_THROW(questions.AskMessageDialog(params), TMessageDialog::EMessageDialogError);
    EXPECT_TRUE(driver.Done());
}

} // namespace
