// Folders in the window: the Folder... command and its folder memory, a dropped folder, the
// options dialog's Folders group, and the folder options kept in the settings file.

#include "settings/FolderSettings.h"
#include "settings/Settings.h"
#include "tests/common/TestSupport.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/WindowFixture.h"
#include "ui/MainForm.h"
#include "ui/MainFormRun.h"
#include "ui/MainFormSettings.h"
#include "ui/OptionControls.h"
#include "ui/OptionsDialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using lmvtest::Exists;
using lmvtest::Q;
using lmvtest::ReadFile;
using lmvtest::TModalDriver;
using lmvtest::TModalScript;
using lmvtest::WriteFile;

class FolderWindowTest : public lmvtest::TWindowFixture<lmvtest::TScriptedFileDialogs> {
protected:
    void SetUp() override
    {
        TWindowFixture::SetUp();
        Show();
        Form->Edit11->setText(Q(Dir / "out"));
    }

    std::string File(const std::string& Name, const std::string& Content = "text\n")
    {
        std::filesystem::create_directories(std::filesystem::path(Dir / Name).parent_path());
        WriteFile(Dir / Name, Content);
        return Dir / Name;
    }

    lmvtest::TempDir Dir;
};

TEST_F(FolderWindowTest, FolderCommandSitsAfterListAndBesideTheFilesButton)
{
    const QList<QAction*> items = Form->ConvertM1->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items[1], Form->ListM1);
    EXPECT_EQ(items[2], Form->FolderM1);
    const QList<QAction*> buttons = Form->ToolBar1->actions();
    ASSERT_GE(buttons.size(), 2);
    EXPECT_EQ(Form->ToolBar1->widgetForAction(buttons[0]), Form->FilesT1);
    EXPECT_EQ(Form->ToolBar1->widgetForAction(buttons[1]), Form->FolderT1);
    EXPECT_FALSE(Form->FolderT1->toolTip().isEmpty());
}

TEST_F(FolderWindowTest, FolderCommandConvertsTheChosenTreeAndRemembersTheFolder)
{
    File("tree/a.txt");
    File("tree/sub/b.txt");
    File("list/x.txt");
    Form->DialogList.InitialDir = Dir / "list";
    Dialogs.Answers = {{Dir / "tree"}, {}};

    TModalScript driver;
    QTest::keyClick(Form.get(), Qt::Key_D, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(Form->StatusText() == "Done", 20000);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(Progress.Label1->text(), QStringLiteral("Completed"));
    EXPECT_TRUE(Exists(Dir / "out/tree/a.txt"));
    EXPECT_TRUE(Exists(Dir / "out/tree/sub/b.txt"));
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0].Title, "Folder");
    EXPECT_EQ(Dialogs.Shown[0].Kind, TFileDialog::dkFolder);
    EXPECT_EQ(Dialogs.Shown[0].InitialDir, Dir / "list");
    // The chosen folder itself is remembered, and the tool-bar button opens the same chooser.
    EXPECT_EQ(Form->DialogList.InitialDir, Dir / "tree");
    Form->FolderT1->click();
    ASSERT_EQ(Dialogs.Shown.size(), 2u);
    EXPECT_EQ(Dialogs.Shown[1].Title, "Folder");
    EXPECT_EQ(Dialogs.Shown[1].InitialDir, Dir / "tree");
    EXPECT_EQ(Form->DialogList.InitialDir, Dir / "tree");
}

TEST_F(FolderWindowTest, CheckFolderCommandReadsTheTreeAndWritesNothing)
{
    File("tree/a.txt");
    File("tree/sub/b.txt");
    Dialogs.Answers = {{Dir / "tree"}, {}};

    TModalScript driver;
    QTest::keyClick(Form.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(Form->StatusText() == "Done", 20000);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(Progress.Label1->text(), QStringLiteral("Completed"));
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0].Title, "Folder");
    EXPECT_FALSE(Exists(Dir / "out"));
}

TEST_F(FolderWindowTest, ADroppedFolderExpandsBesideADroppedFile)
{
    const std::string a = File("drop/a.txt");
    File("drop/.hidden.txt");
    File("drop/picture.png", std::string("\x89PNG\0\0", 6));
    const std::string loose = File("loose.bin", std::string("x\0y", 3));
    Form->OptionsDialog->AssistOptions.AlwaysSaveLog = true;
    Dialogs.Answers = {{Dir / "drop.log"}};

    TModalScript driver;
    driver.Box(QMessageBox::Yes);
    Drop({QUrl::fromLocalFile(Q(Dir / "drop")), QUrl::fromLocalFile(Q(loose))});
    QTRY_VERIFY_WITH_TIMEOUT(driver.Done() && Form->StatusText() == "Done", 20000);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(Progress.Label1->text(), QStringLiteral("Completed"));

    EXPECT_TRUE(Exists(Dir / "out/drop/a.txt"));
    EXPECT_FALSE(Exists(Dir / "out/drop/.hidden.txt"));
    EXPECT_FALSE(Exists(Dir / "out/drop/picture.png"));
    // Named directly, a file is converted whatever it holds.
    const std::string log = ReadFile(Dir / "drop.log");
    EXPECT_NE(log.find("Skipped, not a text file: " + (Dir / "drop/picture.png") + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\t- Source file: " + loose + "\r\n"), std::string::npos) << log;
    EXPECT_LT(log.find(a), log.find(loose));
}

// Every accelerator of the dialog leads to one control only.
TEST(FolderOptionsDialog, FoldersGroupHasItsCaptionsAndNoAcceleratorClashes)
{
    TOptionsDialog dialog;
    EXPECT_EQ(dialog.Folders.GroupBox3->title(), QStringLiteral("Folders"));
    EXPECT_EQ(dialog.Folders.CheckBox2->text(), QStringLiteral("&Include subfolders"));
    EXPECT_EQ(dialog.Folders.CheckBox3->text(), QStringLiteral("Skip files that are not &text"));
    EXPECT_EQ(dialog.Folders.CheckBox4->text(), QStringLiteral("Keep &modification time"));
    QStringList captions;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->buddy() == dialog.Folders.Edit1 || label->buddy() == dialog.Folders.Edit2)
            captions << label->text();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("File &names:"), QStringLiteral("S&kip names:")}));

    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        texts << button->text();
    texts << dialog.Folders.GroupBox3->title();
    QStringList keys;
    for (const QString& text : texts) {
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        if (amp >= 0 && amp + 1 < text.size())
            keys << text.mid(amp + 1, 1).toLower();
    }
    keys.sort();
    EXPECT_EQ(keys.removeDuplicates(), 0) << keys.join(QLatin1Char(' ')).toStdString();
}

TEST(FolderOptionsDialog, ABadMaskIsReportedAndNothingIsCommitted)
{
    TOptionsDialog dialog;
    TModalDriver driver;
    driver.When<TOptionsDialog>("defaults shown; an empty mask between separators, OK", [](TOptionsDialog* Window) {
        EXPECT_TRUE(Window->Folders.CheckBox2->isChecked());
        EXPECT_EQ(Window->Folders.Edit1->text(), QStringLiteral("*"));
        EXPECT_EQ(Window->Folders.Edit2->text(), QStringLiteral(".*"));
        EXPECT_TRUE(Window->Folders.CheckBox3->isChecked());
        EXPECT_FALSE(Window->Folders.CheckBox4->isChecked());
        Window->Folders.CheckBox4->setChecked(true);
        Window->Folders.Edit1->setText(QStringLiteral("*.txt;;*.srt"));
        QTest::mouseClick(Window->Button1, Qt::LeftButton);
    });
    driver.When<QMessageBox>("the message", [](QMessageBox* Box) {
        EXPECT_EQ(Box->text(),
                  QStringLiteral("Empty name mask: remove the extra \";\" or put a mask between the separators."));
        Box->button(QMessageBox::Ok)->click();
    });
    driver.WhenShown<TOptionsDialog>("back, blanks in the other box, OK", [&dialog](TOptionsDialog* Window) {
        EXPECT_EQ(Window->focusWidget(), Window->Folders.Edit1);
        EXPECT_EQ(dialog.FolderOptions, DefaultFolderOptions());
        Window->Folders.Edit1->setText(QStringLiteral("*.txt; *.srt"));
        Window->Folders.Edit2->setText(QStringLiteral("  "));
        QTest::mouseClick(Window->Button1, Qt::LeftButton);
    });
    driver.When<QMessageBox>("the blanks message", [](QMessageBox* Box) {
        EXPECT_EQ(Box->text(), QStringLiteral("A name mask cannot be only blanks."));
        Box->button(QMessageBox::Ok)->click();
    });
    driver.WhenShown<TOptionsDialog>("fixed, OK", [](TOptionsDialog* Window) {
        EXPECT_EQ(Window->focusWidget(), Window->Folders.Edit2);
        Window->Folders.Edit2->clear();
        QTest::mouseClick(Window->Button1, Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(dialog.FolderOptions, (TFolderOptions{true, "*.txt; *.srt", "", true, true}));
}

TEST(FolderWindowSettings, TheWindowLoadsAndSavesTheFolderSections)
{
    lmvtest::TempDir dir;
    const std::string path = dir / "Settings.ini";
    TFolderOptions stored{false, "*.srt;*.sub", ".*;old", true, true};
    {
        TSettings settings(path);
        WriteFolderOptions(settings, stored);
        settings.UpdateFile();
    }
    lmvtest::TWindowParts parts;
    {
        const auto form = parts.Window(path);
        EXPECT_EQ(form->OptionsDialog->FolderOptions, stored);
        form->OptionsDialog->FolderOptions.SkipNonText = false;
        form->Settings->SaveSettings();
    }
    stored.SkipNonText = false;
    EXPECT_EQ(ReadFolderOptions(TSettings(path), DefaultFolderOptions()), stored);

    // A file without the sections gives the defaults.
    WriteFile(path, "[ConvertSpecs]\r\nUtf8=1\r\n");
    const auto form = parts.Window(path);
    EXPECT_EQ(form->OptionsDialog->FolderOptions, DefaultFolderOptions());
}

} // namespace
