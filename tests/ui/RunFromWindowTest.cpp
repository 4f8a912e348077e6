#include "tests/common/TestSupport.h"
#include "tests/common/TreeSnapshot.h"
#include "tests/ui/WindowFixture.h"
#include "ui/MainForm.h"
#include "ui/OptionsDialog.h"
#include "ui/QtFileDialogRunner.h"
#include "ui/ReviewWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using lmvtest::Q;
using lmvtest::TModalScript;
using lmvtest::TScriptedFileDialogs;

// "\r\n" after every line, and no other line break.
void ExpectCrLfLines(const std::string& Bytes)
{
    ASSERT_FALSE(Bytes.empty());
    EXPECT_EQ(Bytes.substr(Bytes.size() - 2), "\r\n");
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
        if (Bytes[i] == '\r') {
            ASSERT_TRUE(i + 1 < Bytes.size() && Bytes[i + 1] == '\n') << "lone CR at " << i;
        }
        if (Bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && Bytes[i - 1] == '\r') << "lone LF at " << i;
        }
    }
}

class RunFromWindowTest : public lmvtest::TWindowFixture<TScriptedFileDialogs> {
protected:
    void SetUp() override
    {
        TWindowFixture::SetUp();
        Show();
        // Marks whether a run has touched the progress dialog.
        Progress.SetMessage("untouched");
        Form->Edit11->setText(Q(Dir / "out"));
    }

    void ExpectNoRun()
    {
        EXPECT_EQ(Progress.Label1->text(), QStringLiteral("untouched"));
        EXPECT_FALSE(Progress.isVisible());
        EXPECT_EQ(Form->Run->ConvertThread, nullptr);
        EXPECT_EQ(Form->StatusText(), "Ready");
    }

    void ExpectRunEnded(const char* State)
    {
        EXPECT_FALSE(Progress.isVisible());
        EXPECT_FALSE(Progress.Running);
        EXPECT_EQ(Progress.windowTitle(), QStringLiteral("Convert"));
        EXPECT_EQ(Progress.Label1->text(), QString::fromLatin1(State));
        EXPECT_EQ(Form->Run->ConvertThread, nullptr);
        EXPECT_EQ(Form->StatusText(), "Done");
    }

    lmvtest::TempDir Dir;
};

TEST_F(RunFromWindowTest, ListFileRunReportsTheErrorAndSavesTheLogWithCrLf)
{
    lmvtest::WriteFile(Dir / "a.txt", "hello\n");
    std::filesystem::create_directory(Dir / "out");
    lmvtest::WriteFile(Dir / "out/a.txt", "old");
    // Empty lines are dropped; the names are taken as they stand.
    lmvtest::WriteFile(Dir / "list.txt", Dir / "a.txt" + "\r\n\r\n\n" + Dir / "missing.txt" + "\n");
    Dialogs.Answers = {{Dir / "list.txt"}, {Dir / "run log.txt"}};

    QString captionDuringQuestion;
    TModalScript driver;
    driver.Question(0, [&] { captionDuringQuestion = Progress.Button1->text(); }).Box(QMessageBox::Yes);
    Form->ListM1->trigger();

    EXPECT_TRUE(driver.Finished());
    ASSERT_EQ(driver.Texts.size(), 2);
    EXPECT_TRUE(driver.Texts[0].contains(Q(Dir / "out/a.txt"))) << driver.Texts[0].toStdString();
    EXPECT_EQ(driver.Texts[1], QStringLiteral("There are 1 errors and 0 warnings.\n\nSave the log?"));
    ExpectRunEnded("Completed");
    EXPECT_EQ(captionDuringQuestion, QStringLiteral("Cancel"));
    EXPECT_EQ(Progress.Button1->text(), QStringLiteral("Stop"));
    EXPECT_EQ(Progress.ProgressBar1->value(), 100);
    EXPECT_NE(lmvtest::ReadFile(Dir / "out/a.txt"), "old");

    // The list dialog, then the save dialog in the same folder with the suggested name.
    ASSERT_EQ(Dialogs.Shown.size(), 2u);
    EXPECT_EQ(Dialogs.Shown[0].Title, "List");
    EXPECT_EQ(Dialogs.Shown[0].FileName, "");
    EXPECT_EQ(Dialogs.Shown[1].Title, "Save");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^LMV Log \\d{14}\\.txt$")).match(Q(Dialogs.Shown[1].FileName)).hasMatch())
        << Dialogs.Shown[1].FileName;
    EXPECT_EQ(Dialogs.Shown[1].InitialDir, Dir.Path());

    const std::string log = lmvtest::ReadFile(Dir / "run log.txt");
    ExpectCrLfLines(log);
    EXPECT_NE(log.find("[Error] "), std::string::npos);
    EXPECT_NE(log.find(Dir / "missing.txt"), std::string::npos);
    EXPECT_LT(log.find(Dir / "a.txt"), log.find(Dir / "missing.txt"));
}

TEST_F(RunFromWindowTest, DroppedFilesRunInTheirOrderAndTheLogIsOfferedWhenAlwaysWanted)
{
    lmvtest::WriteFile(Dir / "b.txt", "bee\n");
    lmvtest::WriteFile(Dir / "c.txt", "cee\n");
    lmvtest::WriteFile(Dir / "Output - b.txt", "old");
    Form->RadioButton12->setChecked(true);
    Form->OptionsDialog->AssistOptions.AlwaysSaveLog = true;
    Dialogs.Answers = {{Dir / "drop.log"}};

    TModalScript driver;
    driver.Question(0).Box(QMessageBox::Yes);
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(Q(Dir / "b.txt")), QUrl::fromLocalFile(Q(Dir / "c.txt"))}));
    // The run starts once the drop is over.
    EXPECT_EQ(Form->StatusText(), "Ready");

    QTRY_VERIFY_WITH_TIMEOUT(driver.Done() && Form->StatusText() == "Done", 20000);
    EXPECT_TRUE(driver.Finished());
    ASSERT_EQ(driver.Texts.size(), 2);
    EXPECT_TRUE(driver.Texts[0].contains(Q(Dir / "Output - b.txt")));
    EXPECT_EQ(driver.Texts[1], QStringLiteral("Save the log?"));
    ExpectRunEnded("Completed");
    EXPECT_NE(lmvtest::ReadFile(Dir / "Output - b.txt"), "old");
    EXPECT_TRUE(lmvtest::Exists(Dir / "Output - c.txt"));

    const std::string log = lmvtest::ReadFile(Dir / "drop.log");
    ExpectCrLfLines(log);
    EXPECT_EQ(log.find("[Error] "), std::string::npos);
    EXPECT_LT(log.find(Dir / "b.txt"), log.find(Dir / "c.txt"));
}

TEST_F(RunFromWindowTest, OverwritingSourcesAsksFirst)
{
    lmvtest::WriteFile(Dir / "s.txt", "source\n");
    Form->RadioButton13->setChecked(true);
    Dialogs.Answers = {{Dir / "s.txt"}, {Dir / "s.txt"}};

    TModalScript driver;
    driver.Box(QMessageBox::No);
    Form->FilesM1->trigger();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("The program overwrites source files.\n\nContinue?")});
    ExpectNoRun();
    EXPECT_EQ(lmvtest::ReadFile(Dir / "s.txt"), "source\n");

    // Yes runs, with the backup first.
    driver.Box(QMessageBox::Yes);
    QTest::mouseClick(Form->FilesT1, Qt::LeftButton);
    EXPECT_TRUE(driver.Finished());
    ExpectRunEnded("Completed");
    EXPECT_EQ(lmvtest::ReadFile(Dir / "Backup - s.txt"), "source\n");
    EXPECT_NE(lmvtest::ReadFile(Dir / "s.txt"), "source\n");
    EXPECT_EQ(Dialogs.Shown[1].Title, "Files");
}

// File > Check: the same run with the same options; nothing is written and nothing is asked
// before, during or after it: it ends in the Review window, which saves the log.
TEST_F(RunFromWindowTest, CheckWritesNothingAsksNothingAndReportsTheEnd)
{
    const std::string Src = Dir / "src";
    std::filesystem::create_directory(Src);
    lmvtest::WriteFile(Src + "/a.txt", "hello\n");
    lmvtest::WriteFile(Src + "/b.txt", "bad \xFF\n");
    lmvtest::WriteFile(Src + "/Backup - a.txt", "old");
    lmvtest::WriteFile(Src + "/list.txt", Src + "/a.txt\n" + Src + "/b.txt\n");
    Form->Edit11->setText(Q(Src + "/out"));
    const auto Before = lmvtest::TreeSnapshot(Src);

    // Files (Ctrl+Shift+O), over the sources with backups: not even the question before the run.
    Form->RadioButton13->setChecked(true);
    Dialogs.Answers = {{Src + "/a.txt", Src + "/b.txt"}, {Dir / "check.log"}};
    TModalScript driver;
    QTest::keyClick(Form->ComboBox1, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(driver.Finished());
    auto* review = Form->findChild<TReviewWindow*>();
    ASSERT_NE(review, nullptr);
    EXPECT_TRUE(review->isVisible());
    // Files given one by one are named in full.
    EXPECT_EQ(review->Table->model()->index(0, 0).data().toString(), Q(Src + "/a.txt"));
    review->SaveLogButton->click();
    review->close();
    EXPECT_EQ(Progress.windowTitle(), QStringLiteral("Check"));
    EXPECT_EQ(Progress.Label1->text(), QStringLiteral("Completed"));
    EXPECT_EQ(Form->Run->ConvertThread, nullptr);
    EXPECT_EQ(Form->StatusText(), "Done");
    EXPECT_EQ(lmvtest::TreeSnapshot(Src), Before);
    EXPECT_EQ(lmvtest::ReadFile(Dir / "check.log"),
              "Check character encoding:\r\n\t- Source file: " + Src + "/a.txt\r\n... OK\r\n"
              "Check character encoding:\r\n\t- Source file: " + Src + "/b.txt\r\n"
              "[Error] Cannot convert character encoding\r\n"
              "\t- Invalid byte sequence at line 1, column 5 (offset 4)\r\n... Failed\r\n"
              "Completed - 1 errors, 0 warnings\r\n");

    // List, into an output folder that does not exist: it is not created.
    Form->RadioButton11->setChecked(true);
    Dialogs.Answers = {{Src + "/list.txt"}};
    Form->ListM2->trigger();
    EXPECT_TRUE(driver.Finished());
    ASSERT_EQ(Dialogs.Shown.size(), 3u);
    EXPECT_EQ(Dialogs.Shown[0].Title, "Files");
    EXPECT_EQ(Dialogs.Shown[2].Title, "List");
    EXPECT_EQ(Form->StatusText(), "Done");
    EXPECT_EQ(lmvtest::TreeSnapshot(Src), Before);
}

TEST_F(RunFromWindowTest, AnInvalidOptionStopsTheRunBeforeItStarts)
{
    lmvtest::WriteFile(Dir / "a.txt", "a\n");
    Form->ConvertOptions.Output = 3;
    Form->SetControls(false);
    Dialogs.Answers = {{Dir / "a.txt"}};

    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    Form->FilesM1->trigger();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Select an item.")});
    EXPECT_EQ(Form->focusWidget(), Form->RadioButton11);
    ExpectNoRun();
    EXPECT_EQ(Form->ConvertOptions.Output, 3);
}

TEST_F(RunFromWindowTest, CancellingTheFileDialogsDoesNothing)
{
    Form->Edit1->setText(QStringLiteral("0")); // would be refused if the controls were read
    Dialogs.Answers = {{}, {}};
    TModalScript driver;
    Form->FilesM1->trigger();
    Form->ListM1->trigger();
    ASSERT_EQ(Dialogs.Shown.size(), 2u);
    EXPECT_EQ(Dialogs.Shown[0].Title, "Files");
    EXPECT_EQ(Dialogs.Shown[1].Title, "List");
    EXPECT_TRUE(driver.Finished());
    ExpectNoRun();
}

TEST_F(RunFromWindowTest, AListOfEmptyLinesStillRuns)
{
    lmvtest::WriteFile(Dir / "empty list.txt", "\r\n\n\r\n");
    Dialogs.Answers = {{Dir / "empty list.txt"}};
    TModalScript driver;
    Form->ListM1->trigger();
    EXPECT_TRUE(driver.Finished());
    ExpectRunEnded("Completed");
    EXPECT_EQ(Progress.Button1->text(), QStringLiteral("Cancel"));
}

TEST_F(RunFromWindowTest, AListFileThatCannotBeReadIsReported)
{
    Dialogs.Answers = {{Dir / "no such list.txt"}};
    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    Form->ListM1->trigger();
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(driver.Texts.size(), 1);
    EXPECT_TRUE(driver.Texts[0].contains(Q(Dir / "no such list.txt"))) << driver.Texts[0].toStdString();
    ExpectNoRun();
}

// The log saved to a folder's name fails: Yes to the retry opens the save dialog again with that
// name, No loses the log quietly.
TEST_F(RunFromWindowTest, AFailedLogSaveOffersARetryWithTheSameName)
{
    lmvtest::WriteFile(Dir / "list.txt", Dir / "missing.txt\n");
    for (const bool retry : {false, true}) {
        Dialogs.Shown.clear();
        Dialogs.Answers = {{Dir / "list.txt"}, {Dir.Path()}, {Dir / "saved.log"}};
        TModalScript driver;
        driver.Box(QMessageBox::Yes).Box(retry ? QMessageBox::Yes : QMessageBox::No);
        Form->ListM1->trigger();
        EXPECT_TRUE(driver.Finished());
        ASSERT_EQ(driver.Texts.size(), 2);
        EXPECT_EQ(driver.Texts[1], QStringLiteral("The program cannot save the log to the following file:\n\n") +
                                       Q(Dir.Path()) + QStringLiteral("\n\nRetry?"));
        ExpectRunEnded("Completed");
        ASSERT_EQ(Dialogs.Shown.size(), retry ? 3u : 2u);
        EXPECT_EQ(lmvtest::Exists(Dir / "saved.log"), retry);
    }
    EXPECT_EQ(Dialogs.Shown[2].Title, "Save");
    EXPECT_EQ(Dialogs.Shown[2].FileName, Dir.Path());
    ExpectCrLfLines(lmvtest::ReadFile(Dir / "saved.log"));
}

TEST_F(RunFromWindowTest, TheProgressButtonAbortsTheRun)
{
    lmvtest::WriteFile(Dir / "a.txt", "a\n");
    lmvtest::WriteFile(Dir / "b.txt", "b\n");
    std::filesystem::create_directory(Dir / "out");
    lmvtest::WriteFile(Dir / "out/a.txt", "old");
    Dialogs.Answers = {{Dir / "a.txt", Dir / "b.txt"}};

    TModalScript driver;
    // While the worker waits for the answer, the user presses the dialog's button.
    driver.Question(0, [&] { Progress.Button1->click(); }).Box(QMessageBox::Yes).Box(QMessageBox::No);
    Form->FilesM1->trigger();
    EXPECT_TRUE(driver.Finished());
    ASSERT_EQ(driver.Texts.size(), 3) << driver.Texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(driver.Texts[1], QStringLiteral("Abort the operation?"));
    EXPECT_EQ(driver.Texts[2], QStringLiteral("The operation is not completed.\n\nSave the log?"));
    ExpectRunEnded("Stopped");
    EXPECT_FALSE(lmvtest::Exists(Dir / "out/b.txt"));
}

// The overwrite question of the first of two files comes after that file was read: the bar has
// moved within it (the first read, half of the buffer, is 4 of its 5 MiB) and not past its end.
TEST_F(RunFromWindowTest, TheBarMovesWithinALargeFile)
{
    lmvtest::WriteFile(Dir / "big.txt", std::string(5 << 20, 'a'));
    lmvtest::WriteFile(Dir / "small.txt", "b\n");
    std::filesystem::create_directory(Dir / "out");
    lmvtest::WriteFile(Dir / "out/big.txt", "old");
    Form->Edit1->setText(QStringLiteral("8388608"));
    Dialogs.Answers = {{Dir / "big.txt", Dir / "small.txt"}};

    int barDuringQuestion = -1;
    TModalScript driver;
    driver.Question(0, [&] { barDuringQuestion = Progress.ProgressBar1->value(); });
    Form->FilesM1->trigger();
    EXPECT_TRUE(driver.Finished());
    EXPECT_GE(barDuringQuestion, 40);
    EXPECT_LE(barDuringQuestion, 50);
    ExpectRunEnded("Completed");
    EXPECT_EQ(Progress.ProgressBar1->value(), 100);
}

TEST_F(RunFromWindowTest, ADroppedNameBeyondThePathLimitIsRefused)
{
    lmvtest::WriteFile(Dir / "a.txt", "a\n");
    const QString tooLong = QStringLiteral("/") + QString(PATH_MAX, QLatin1Char('x'));
    TModalScript driver;
    driver.Box(QMessageBox::Ok);
    Drop({QUrl::fromLocalFile(Q(Dir / "a.txt")), QUrl::fromLocalFile(tooLong)});
    QTRY_VERIFY(driver.Done());
    EXPECT_EQ(driver.Texts, QStringList{QStringLiteral("Cannot get the name of a dropped file.")});
    ExpectNoRun();
    EXPECT_FALSE(lmvtest::Exists(Dir / "out"));
}

TEST(QtFileDialogRunnerTest, NameFiltersPutThePatternsWhereQtReadsThem)
{
    EXPECT_EQ(TQtFileDialogRunner::NameFilters(
                  "Text files (*.txt)|*.txt|HTML files (*.htm;*.html)|*.htm;*.html|All files (*)|*"),
              (QStringList{QStringLiteral("Text files (*.txt)"), QStringLiteral("HTML files (*.htm *.html)"),
                           QStringLiteral("All files (*)")}));
    EXPECT_EQ(TQtFileDialogRunner::NameFilters("Logs|*.log; *.txt"), QStringList{QStringLiteral("Logs (*.log *.txt)")});
    // A description without its pattern is no filter.
    EXPECT_EQ(TQtFileDialogRunner::NameFilters("Text files (*.txt)|*.txt|Orphan"),
              QStringList{QStringLiteral("Text files (*.txt)")});
    EXPECT_TRUE(TQtFileDialogRunner::NameFilters("").isEmpty());
}

TEST(QtFileDialogRunnerTest, OpenDialogReturnsEveryChosenFileAndTheFilter)
{
    lmvtest::TempDir dir;
    lmvtest::WriteFile(dir / "x.txt", "x");
    lmvtest::WriteFile(dir / "y.txt", "y");
    TFileDialog dialog;
    dialog.Title = "Files";
    dialog.Filter = "Text files (*.txt)|*.txt|HTML files (*.htm;*.html)|*.htm;*.html|All files (*)|*";
    dialog.FilterIndex = 3;
    dialog.MultiSelect = true;
    dialog.InitialDir = dir.Path();

    QString title;
    QString filter;
    QString folder;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    TModalScript driver;
    driver.FileDialog([&](QFileDialog* Files) {
        title = Files->windowTitle();
        filter = Files->selectedNameFilter();
        folder = Files->directory().absolutePath();
        mode = Files->fileMode();
        Files->selectNameFilter(QStringLiteral("Text files (*.txt)"));
        Files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("\"x.txt\" \"y.txt\""));
        static_cast<QDialog*>(Files)->accept();
    });
    TQtFileDialogRunner runner;
    ASSERT_TRUE(runner.Run(dialog));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(title, QStringLiteral("Files"));
    EXPECT_EQ(filter, QStringLiteral("All files (*)"));
    EXPECT_EQ(folder, Q(dir.Path()));
    EXPECT_EQ(mode, QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog.Files, (TStringList{dir / "x.txt", dir / "y.txt"}));
    EXPECT_EQ(dialog.FileName, dir / "x.txt");
    EXPECT_EQ(dialog.FilterIndex, 1);

    // Cancel changes nothing.
    driver.FileDialog([](QFileDialog* Files) { Files->reject(); });
    dialog.FilterIndex = 2;
    EXPECT_FALSE(runner.Run(dialog));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(dialog.FilterIndex, 2);
    EXPECT_EQ(dialog.FileName, dir / "x.txt");
}

TEST(QtFileDialogRunnerTest, SaveDialogSuggestsTheNameAddsTheSuffixAndAsksBeforeReplacing)
{
    lmvtest::TempDir dir;
    lmvtest::WriteFile(dir / "exists.txt", "old");
    TFileDialog dialog;
    dialog.Kind = TFileDialog::dkSave;
    dialog.Title = "Save";
    dialog.Filter = "Text files (*.txt)|*.txt|All files (*)|*";
    dialog.DefaultExt = "txt";
    dialog.InitialDir = dir.Path();
    dialog.FileName = "LMV Log 20240101120000.txt";

    QString suggested;
    TModalScript driver;
    driver.FileDialog([&](QFileDialog* Files) {
        auto* name = Files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        suggested = name->text();
        name->setText(QStringLiteral("my log"));
        static_cast<QDialog*>(Files)->accept();
    });
    TQtFileDialogRunner runner;
    ASSERT_TRUE(runner.Run(dialog));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(suggested, QStringLiteral("LMV Log 20240101120000.txt"));
    EXPECT_EQ(dialog.FileName, dir / "my log.txt");

    // An existing file is replaced only after a Yes.
    driver
        .FileDialog([](QFileDialog* Files) {
            Files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("exists"));
            static_cast<QDialog*>(Files)->accept();
        })
        .Box(QMessageBox::Yes);
    dialog.FileName.clear();
    ASSERT_TRUE(runner.Run(dialog));
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(driver.Texts.size(), 1);
    EXPECT_TRUE(driver.Texts[0].contains(QStringLiteral("exists.txt")));
    EXPECT_EQ(dialog.FileName, dir / "exists.txt");
}

TEST_F(RunFromWindowTest, AutoDetectNamesEachFilesEncodingAndRefusesWhatItCannotTell)
{
    // "Привет, мир" in WINDOWS-1251, and bytes that are no text.
    lmvtest::WriteFile(Dir / "a.txt", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xDD\xF2\xEE \xF2\xE5\xEA\xF1\xF2.\n");
    lmvtest::WriteFile(Dir / "b.bin", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16));
    Form->ComboBox1->setCurrentIndex(0);
    Form->ComboBox2->setEditText(QStringLiteral("UTF-8"));
    Dialogs.Answers = {{Dir / "a.txt", Dir / "b.bin"}, {Dir / "run log.txt"}};

    TModalScript driver;
    driver.Box(QMessageBox::Yes);
    Form->FilesM1->trigger();

    EXPECT_TRUE(driver.Finished());
    ExpectRunEnded("Completed");
    EXPECT_EQ(Form->ConvertOptions.FromEncoding, "Auto-detect");
    EXPECT_EQ(lmvtest::ReadFile(Dir / "out/a.txt"), "Привет, мир! Это текст.\n");
    EXPECT_FALSE(lmvtest::Exists(Dir / "out/b.bin"));
    const std::string log = lmvtest::ReadFile(Dir / "run log.txt");
    EXPECT_NE(log.find("\t- Destination file: " + (Dir / "out/a.txt") + "\r\n\t- Source encoding: WINDOWS-1251\r\n"
                       "... Succeeded\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\t- Destination file: " + (Dir / "out/b.bin") +
                       "\r\n[Error] Cannot detect character encoding\r\n... Failed\r\n"),
              std::string::npos)
        << log;
}

} // namespace
