// Start-up and shutdown of the main window with its settings file, the entry point's failure
// path and first-show hook, and the Tools and Help commands.

#include "engine/Lumiva.h"
#include "settings/ConvertOptions.h"
#include "settings/Settings.h"
#include "tests/common/FirstSaveText.h"
#include "tests/common/FixedLibraryLists.h"
#include "tests/common/TestSupport.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/WindowFixture.h"
#include "ui/DialogQuestions.h"
#include "ui/MainForm.h"
#include "ui/MessageBox.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgressDialog.h"
#include "ui/Startup.h"
#include "util/CodePage.h"
#include "util/Version.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSessionManager>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

using lmvtest::Exists;
using lmvtest::Q;
using lmvtest::ReadFile;
using lmvtest::TempDir;
using lmvtest::WriteFile;

// A message box as the user saw it, and whether a main window was visible at the time.
struct TBox : lmvtest::TSeenBox {
    bool WindowShown = false;
};

// Whether a main window (or, with Any, any window) is visible.
bool AnyMainWindowVisible(bool Any = false)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if ((Any || qobject_cast<TMainForm*>(widget)) && widget->isVisible())
            return true;
    return false;
}

TBox Record(QMessageBox* Box)
{
    return {lmvtest::Look(Box), AnyMainWindowVisible()};
}

// Records the box as the user saw it into Boxes, then presses Button.
std::function<void(QMessageBox*)> Answer(std::vector<TBox>& Boxes, QMessageBox::StandardButton Button)
{
    return [&Boxes, Button](QMessageBox* Box) {
        Boxes.push_back(Record(Box));
        Box->button(Button)->click();
    };
}

void ExpectBox(const TBox& Box, const QString& Text, QMessageBox::Icon Icon, QMessageBox::StandardButtons Buttons,
               const QString& Caption = QStringLiteral("Lumiva"))
{
    EXPECT_EQ(Box.Text, Text);
    EXPECT_EQ(Box.Title, Caption);
    EXPECT_EQ(Box.Icon, Icon);
    EXPECT_EQ(Box.Buttons, Buttons);
}

// Action: "load settings from" or "save settings to".
QString SettingsQuestion(const std::string& Action, const std::string& FileName)
{
    return ToDisplayText("The program cannot " + Action + " the following file:\r\n\r\n" + FileName + "\r\n\r\nRetry?");
}

// Every record the settings file holds, as a window has them.
struct TAllSettings {
    TConvertOptions Convert;
    TConvertSpecs Specs;
    TAssistOptions Assist;
    TViewOptions View;
    std::string InitialDir;
    std::vector<std::int32_t> FilterIndexes;
    QPoint Position;

    static TAllSettings Of(const TMainForm& Form)
    {
        TAllSettings all{Form.ConvertOptions, Form.OptionsDialog->ConvertSpecs, Form.OptionsDialog->AssistOptions,
                         Form.ViewOptions, Form.DialogList.InitialDir, {}, Form.pos()};
        for (std::size_t i = 0; i < Form.DialogList.Count(); ++i)
            all.FilterIndexes.push_back(Form.DialogList[i]->FilterIndex);
        return all;
    }
    bool operator==(const TAllSettings&) const = default;
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(AnyMainWindowVisible(true)) << "a window of an earlier test is still shown";
    }

    void TearDown() override
    {
        // A window that a test left open is closed without its close query, so nothing is saved.
        if (Form)
            Form->hide();
        Form.reset();
    }

    std::unique_ptr<TMainForm> MakeForm(const std::string& Library = {})
    {
        auto engine = Library.empty() ? std::make_unique<TLumiva>() : std::make_unique<TLumiva>(Library);
        return std::make_unique<TMainForm>(std::move(engine), Progress, Dialogs, Questions, SettingsFile);
    }

    void Start(const std::string& Library = {}) { Form = MakeForm(Library); }

    void Show()
    {
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }

    // The entry point's hooks over the test's settings file; an error report fails the test.
    TStartupHooks Hooks() const
    {
        TStartupHooks hooks;
        hooks.SettingsFile = SettingsFile;
        hooks.ReportError = [](const std::string& Message) { ADD_FAILURE() << Message; };
        return hooks;
    }

    TempDir Dir;
    std::string SettingsFile = Dir / "config/Lumiva/Settings.ini";
    TProgressDialog Progress;
    lmvtest::TNoFileDialogs Dialogs;
    TDialogQuestions Questions;
    std::unique_ptr<TMainForm> Form;
};

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown with the settings file

TEST_F(StartupTest, WithoutASettingsFileTheDefaultsAreShownAndClosingWritesTheFirstFile)
{
    lmvtest::TModalScript catcher;
    Start();
    EXPECT_EQ(Form->SettingsFileName, SettingsFile);
    EXPECT_FALSE(Exists(SettingsFile)) << "loading creates nothing";
    EXPECT_EQ(Form->ConvertOptions, DefaultConvertOptions());
    EXPECT_EQ(Form->ViewOptions, DefaultViewOptions());
    EXPECT_EQ(Form->OptionsDialog->ConvertSpecs, DefaultConvertSpecs());
    EXPECT_EQ(Form->OptionsDialog->AssistOptions, DefaultAssistOptions());

    Show();
    Form->move(37, 58);
    EXPECT_TRUE(Form->close());
    // The folder options follow the known file, which stays as it was.
    EXPECT_EQ(ReadFile(SettingsFile),
              lmvtest::FirstSaveText(DefaultOutputDirectory(), 37, 58) + lmvtest::FolderSectionsFirstSaveText());
    EXPECT_TRUE(catcher.Finished());
}

TEST_F(StartupTest, StoredValuesAreShownHandedToTheOptionsDialogAndApplied)
{
    std::filesystem::create_directories(Dir / "config/Lumiva");
    WriteFile(SettingsFile, "[OpenDialogList]\r\n"
                            "InitialDir=\"/some/where\"\r\n"
                            "FilterIndex0=1\r\nFilterIndex1=2\r\nFilterIndex2=2\r\n"
                            "[ConvertOptions]\r\n"
                            "FromEncoding=\"ISO-8859-1\"\r\nToEncoding=\"UTF-32\"\r\nTranslation=2\r\n"
                            "BufferSize=4096\r\nOutput=1\r\nOutputDirectory=\"/tmp/out \"\r\n"
                            "OutputPrefix=\"new \"\r\nBackupSrcFiles=0\r\nBackupPrefix=\"old \"\r\n"
                            "[ConvertSpecs]\r\nUtf8=2\r\nUtf16=3\r\nUtf32=4\r\n"
                            "[AssistOptions]\r\nAlwaysSaveLog=1\r\n"
                            "[ViewOptions]\r\nToolBar=0\r\nStatusBar=0\r\nLastPosition=1\r\nTopmost=1\r\n"
                            "[LastPosition]\r\nLeft=123\r\nTop=45\r\n");
    lmvtest::TModalScript catcher;
    Start();
    // Moved while it is built, before it is shown.
    EXPECT_EQ(Form->pos(), QPoint(123, 45));

    const TConvertOptions expected{"ISO-8859-1", "UTF-32", 2, 4096, 1, "/tmp/out ", "new ", false, "old "};
    EXPECT_EQ(Form->ConvertOptions, expected);
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("ISO-8859-1"));
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("UTF-32"));
    EXPECT_EQ(Form->ComboBox3->currentIndex(), 2);
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("4096"));
    EXPECT_TRUE(Form->RadioButton12->isChecked());
    EXPECT_EQ(Form->Edit11->text(), QStringLiteral("/tmp/out "));
    EXPECT_EQ(Form->Edit12->text(), QStringLiteral("new "));
    EXPECT_FALSE(Form->CheckBox11->isChecked());
    EXPECT_EQ(Form->Edit13->text(), QStringLiteral("old "));
    EXPECT_TRUE(Form->Edit12->isEnabled());
    EXPECT_FALSE(Form->Edit11->isEnabled());

    EXPECT_EQ(Form->OptionsDialog->ConvertSpecs, (TConvertSpecs{2, 3, 4}));
    EXPECT_TRUE(Form->OptionsDialog->AssistOptions.AlwaysSaveLog);
    EXPECT_EQ(Form->DialogList.InitialDir, "/some/where");
    EXPECT_EQ(Form->DialogList[0]->FilterIndex, 1);
    EXPECT_EQ(Form->DialogList[1]->FilterIndex, 2);
    EXPECT_EQ(Form->DialogList[2]->FilterIndex, 2);

    EXPECT_EQ(Form->ViewOptions, (TViewOptions{false, false, true, true}));
    EXPECT_FALSE(Form->ToolbarM1->isChecked());
    EXPECT_TRUE(Form->LastPositionM1->isChecked());
    EXPECT_TRUE(Form->TopmostM1->isChecked());
    EXPECT_TRUE(Form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Form->StatusText(), "Ready");

    Show();
    EXPECT_FALSE(Form->ToolBar1->isVisible());
    EXPECT_FALSE(Form->StatusBar1->isVisible());
    EXPECT_EQ(Form->pos(), QPoint(123, 45));
    EXPECT_TRUE(catcher.Finished());
}

TEST_F(StartupTest, AStoredPositionIsAppliedOnlyWithLastPositionOn)
{
    std::filesystem::create_directories(Dir / "config/Lumiva");
    const std::string stored = "[ViewOptions]\r\nLastPosition=0\r\n[LastPosition]\r\nLeft=123\r\nTop=45\r\n";
    WriteFile(SettingsFile, stored);
    lmvtest::TModalScript catcher;
    Start();
    const QPoint unplaced = MakeForm()->pos();
    EXPECT_EQ(Form->pos(), unplaced);
    EXPECT_NE(Form->pos(), QPoint(123, 45));
    EXPECT_FALSE(Form->ViewOptions.LastPosition);

    // The position is written at exit all the same, over the stored one.
    Show();
    Form->move(60, 70);
    EXPECT_TRUE(Form->close());
    TSettings saved(SettingsFile);
    int left = -1;
    int top = -1;
    saved.ReadLastPosition(left, top);
    EXPECT_EQ(QPoint(left, top), QPoint(60, 70));
    EXPECT_FALSE(saved.ReadViewOptions(DefaultViewOptions()).LastPosition);

    // Switched on, the next start comes up there.
    saved.WriteViewOptions({true, true, true, false});
    saved.UpdateFile();
    Start();
    EXPECT_EQ(Form->pos(), QPoint(60, 70));
    EXPECT_TRUE(catcher.Finished());
}

TEST_F(StartupTest, AnUnreadableFileAsksBeforeTheWindowShowsAndNoKeepsTheDefaults)
{
    std::filesystem::create_directories(SettingsFile); // a folder where the file should be
    std::vector<TBox> boxes;
    lmvtest::TModalDriver driver;
    driver
        .WhenShown<QMessageBox>("load question", Answer(boxes, QMessageBox::Yes))
        .WhenShown<QMessageBox>("load question again", Answer(boxes, QMessageBox::No));
    Start();
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(boxes.size(), 2u);
    for (const TBox& box : boxes) {
        ExpectBox(box, SettingsQuestion("load settings from", SettingsFile), QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No);
        EXPECT_FALSE(box.WindowShown);
    }
    EXPECT_EQ(Form->ConvertOptions, DefaultConvertOptions());
    EXPECT_EQ(Form->ViewOptions, DefaultViewOptions());
    EXPECT_EQ(Form->OptionsDialog->ConvertSpecs, DefaultConvertSpecs());
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("65536"));
    EXPECT_EQ(Form->StatusText(), "Ready");

    // The save reads the file first: it fails too, and No closes without saving.
    Show();
    driver.WhenShown<QMessageBox>("save question", Answer(boxes, QMessageBox::No));
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].Text, SettingsQuestion("save settings to", SettingsFile));
    EXPECT_TRUE(std::filesystem::is_directory(SettingsFile));
    EXPECT_TRUE(lmvtest::ListDir(SettingsFile).empty());
}

TEST_F(StartupTest, YesRepeatsTheWholeLoad)
{
    std::filesystem::create_directories(SettingsFile);
    int questions = 0;
    lmvtest::TModalDriver driver;
    driver.WhenShown<QMessageBox>("load question", [&](QMessageBox* Box) {
        ++questions;
        // The cause goes away before the answer: the repeated load reads everything.
        std::filesystem::remove(SettingsFile);
        WriteFile(SettingsFile, "[ConvertOptions]\r\nBufferSize=512\r\n[ConvertSpecs]\r\nUtf16=4\r\n"
                                "[ViewOptions]\r\nStatusBar=0\r\n");
        Box->button(QMessageBox::Yes)->click();
    });
    Start();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(Form->ConvertOptions.BufferSize, 512);
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("512"));
    EXPECT_EQ(Form->OptionsDialog->ConvertSpecs.Utf16, 4);
    EXPECT_FALSE(Form->ViewOptions.StatusBar);
}

TEST_F(StartupTest, ClosingWithAnInvalidControlKeepsTheWindowOpenAndSavesNothing)
{
    std::filesystem::create_directories(Dir / "config/Lumiva");
    const std::string stored = "; kept as it is\r\n[ConvertOptions]\r\nBufferSize=2048\r\n";
    WriteFile(SettingsFile, stored);
    Start();
    Show();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    Form->Edit1->setFocus();
    Form->Edit1->setText(QStringLiteral("0"));

    std::vector<TBox> boxes;
    lmvtest::TModalDriver driver;
    driver.WhenShown<QMessageBox>("rule broken", Answer(boxes, QMessageBox::Ok));
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Set a number greater than 0."));
    EXPECT_EQ(boxes[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->focusWidget(), Form->Edit1);
    EXPECT_EQ(ReadFile(SettingsFile), stored);
    EXPECT_EQ(Form->ConvertOptions.BufferSize, 2048);
}

// The settings folder's path taken by a regular file (reading finds no file, writing fails), or a
// file read-only by its bits (also for root: the save does not get past it): the question comes
// again after Yes, and No closes without saving.
TEST_F(StartupTest, AnUnwritableFileAsksAndNoClosesWithoutSaving)
{
    const std::string stored = "[ConvertOptions]\r\nBufferSize=4096\r\n";
    for (const bool readOnly : {false, true}) {
        std::filesystem::create_directories(Dir / "config");
        if (readOnly) {
            std::filesystem::create_directories(Dir / "config/Lumiva");
            WriteFile(SettingsFile, stored);
            ASSERT_EQ(::chmod(SettingsFile.c_str(), 0444), 0);
        } else {
            WriteFile(Dir / "config/Lumiva", "in the way");
        }
        {
            lmvtest::TModalScript catcher;
            Start();
            Show();
            EXPECT_TRUE(catcher.Finished());
        }
        Form->Edit1->setText(QStringLiteral("777"));
        std::vector<TBox> boxes;
        lmvtest::TModalDriver driver;
        driver.WhenShown<QMessageBox>("save question", Answer(boxes, QMessageBox::Yes))
            .WhenShown<QMessageBox>("save question again", Answer(boxes, QMessageBox::No));
        EXPECT_TRUE(Form->close());
        EXPECT_TRUE(driver.Done());
        ASSERT_EQ(boxes.size(), 2u);
        for (const TBox& box : boxes)
            ExpectBox(box, SettingsQuestion("save settings to", SettingsFile), QMessageBox::Critical,
                      QMessageBox::Yes | QMessageBox::No);
        EXPECT_FALSE(Form->isVisible());
        if (readOnly) {
            EXPECT_EQ(ReadFile(SettingsFile), stored);
            EXPECT_EQ(lmvtest::ListDir(Dir / "config/Lumiva"), std::vector<std::string>{"Settings.ini"});
        } else {
            EXPECT_EQ(ReadFile(Dir / "config/Lumiva"), "in the way");
            EXPECT_EQ(lmvtest::ListDir(Dir / "config"), std::vector<std::string>{"Lumiva"});
        }
        std::filesystem::remove_all(Dir / "config");
    }
}

TEST_F(StartupTest, YesRepeatsTheWholeSave)
{
    std::filesystem::create_directories(Dir / "config");
    WriteFile(Dir / "config/Lumiva", "in the way");
    Start();
    Show();
    Form->Edit1->setText(QStringLiteral("777"));
    int questions = 0;
    lmvtest::TModalDriver driver;
    driver.WhenShown<QMessageBox>("save question", [&](QMessageBox* Box) {
        ++questions;
        std::filesystem::remove(Dir / "config/Lumiva");
        Box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(questions, 1);
    const TSettings saved(SettingsFile);
    EXPECT_EQ(saved.ReadConvertOptions({}).BufferSize, 777);
}

// What the session manager sends when the desktop session ends; Qt closes no window then.
void EndSession()
{
    auto* manager = qApp->findChild<QSessionManager*>();
    ASSERT_NE(manager, nullptr);
    Q_EMIT qApp->commitDataRequest(*manager);
}

TEST_F(StartupTest, TheSessionEndingSavesTheSettingsAndTheWindowStays)
{
    Start();
    Show();
    Form->Edit1->setText(QStringLiteral("4096"));
    Form->ToolbarM1->trigger();
    Form->move(41, 63);
    lmvtest::TModalScript catcher;
    EndSession();
    EXPECT_TRUE(Form->isVisible());
    ASSERT_TRUE(Exists(SettingsFile));
    {
        const TSettings saved(SettingsFile);
        EXPECT_EQ(saved.ReadConvertOptions({}).BufferSize, 4096);
        EXPECT_FALSE(saved.ReadViewOptions(DefaultViewOptions()).ToolBar);
    }

    // A control being edited that does not pass keeps the value read last; the rest is saved,
    // and nothing asks: the session manager gives no leave to.
    Form->Edit1->setText(QStringLiteral("12k"));
    Form->StatusBarM1->trigger();
    EndSession();
    EXPECT_TRUE(catcher.Finished());
    EXPECT_TRUE(Form->isVisible());
    const TSettings saved(SettingsFile);
    EXPECT_EQ(saved.ReadConvertOptions({}).BufferSize, 4096);
    EXPECT_FALSE(saved.ReadViewOptions(DefaultViewOptions()).StatusBar);
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("12k"));
}

TEST_F(StartupTest, AnUnwritableFileAtTheSessionEndAsksNothingWithoutLeave)
{
    std::filesystem::create_directories(Dir / "config");
    WriteFile(Dir / "config/Lumiva", "in the way");
    Start();
    Show();
    lmvtest::TModalScript catcher;
    EndSession();
    EXPECT_TRUE(catcher.Finished());
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(ReadFile(Dir / "config/Lumiva"), "in the way");
}

TEST_F(StartupTest, EveryRecordSurvivesACloseAndANewStart)
{
    lmvtest::TModalScript catcher;
    Start();
    Show();
    // Texts with blanks at their ends and double quotes inside and around them.
    Form->ComboBox1->setEditText(QStringLiteral("UTF-16LE"));
    Form->ComboBox2->setEditText(QStringLiteral("ISO-8859-1"));
    Form->ComboBox3->setCurrentIndex(1);
    Form->Edit1->setText(QStringLiteral("1024"));
    Form->RadioButton13->setChecked(true);
    Form->CheckBox11->setChecked(false);
    Form->Edit11->setText(QStringLiteral("/tmp/say \"hi\" there "));
    Form->Edit12->setText(QStringLiteral(" out "));
    Form->Edit13->setText(QStringLiteral("  bak - "));
    Form->OptionsDialog->ConvertSpecs = {1, 4, 3};
    Form->OptionsDialog->AssistOptions = {true};
    Form->SetViewOptions({false, true, true, false});
    Form->DialogList.InitialDir = "\"/quoted dir\" ";
    Form->DialogList[0]->FilterIndex = 2;
    Form->DialogList[1]->FilterIndex = 0;
    Form->DialogList[2]->FilterIndex = -7;
    Form->move(77, 88);

    EXPECT_TRUE(Form->close());
    const TAllSettings before = TAllSettings::Of(*Form);
    EXPECT_EQ(before.Convert.OutputDirectory, "/tmp/say \"hi\" there ");
    EXPECT_EQ(before.Convert.Output, omOverwrite);
    EXPECT_EQ(before.Position, QPoint(77, 88));

    Form->hide();
    Start();
    EXPECT_TRUE(TAllSettings::Of(*Form) == before);
    EXPECT_EQ(Form->Edit13->text(), QStringLiteral("  bak - "));
    EXPECT_EQ(Form->DialogList.InitialDir, "\"/quoted dir\" ");
    EXPECT_TRUE(catcher.Finished());
}

// ---------------------------------------------------------------------------------------------
// The entry point

TEST_F(StartupTest, AMissingConversionLibraryIsReportedAndNoWindowComes)
{
    TStartupHooks hooks = Hooks();
    hooks.ConversionLibrary = "liblumiva-iconv-missing.so";
    std::vector<std::string> reports;
    hooks.ReportError = [&](const std::string& Message) {
        reports.push_back(Message);
        EXPECT_FALSE(AnyMainWindowVisible());
    };
    bool shown = false;
    hooks.WindowShown = [&](TMainForm&) { shown = true; };

    lmvtest::TModalScript catcher;
    EXPECT_EQ(RunMainWindow({}, hooks), 1);
    EXPECT_EQ(reports, std::vector<std::string>{"Cannot initialize \"liblumiva-iconv-missing.so\""});
    // As the standard error report shows it: a message ending in a double quote gets no full stop.
    EXPECT_EQ(ErrorReportText(reports[0]), reports[0]);
    EXPECT_FALSE(shown);
    EXPECT_FALSE(AnyMainWindowVisible());
    EXPECT_FALSE(Exists(Dir / "config"));
    EXPECT_TRUE(catcher.Finished());
}

TEST_F(StartupTest, TheEntryPointRunsTheWindowUntilItClosesAndCallsTheHookOnceShown)
{
    TStartupHooks hooks = Hooks();
    int shown = 0;
    int names = 0;
    hooks.WindowShown = [&](TMainForm& Window) {
        ++shown;
        EXPECT_TRUE(Window.isVisible());
        EXPECT_EQ(Window.StatusText(), "Ready");
        names = Window.ComboBox1->count();
        // As the user would: the close query runs and the settings are saved.
        Window.close();
    };
    lmvtest::TModalScript catcher;
    EXPECT_EQ(RunMainWindow({}, hooks), 0);
    EXPECT_EQ(shown, 1);
    // Every name of the library, and "Auto-detect" first.
    EXPECT_EQ(names, static_cast<int>(TLumiva().NameList().Count()) + 1);
    EXPECT_TRUE(Exists(SettingsFile));
    EXPECT_TRUE(catcher.Finished());
}

TEST_F(StartupTest, AHookThatExitsEndsTheProgramWithoutSaving)
{
    // As the start-up probe does it: leave the loop as soon as the window is up with its names.
    TStartupHooks hooks = Hooks();
    int names = 0;
    hooks.WindowShown = [&](TMainForm& Window) {
        names = Window.ComboBox1->count();
        QCoreApplication::exit(0);
    };
    lmvtest::TModalScript catcher;
    EXPECT_EQ(RunMainWindow({}, hooks), 0);
    EXPECT_GT(names, 10);
    EXPECT_FALSE(AnyMainWindowVisible());
    EXPECT_FALSE(Exists(Dir / "config"));
    EXPECT_TRUE(catcher.Finished());
}

TEST_F(StartupTest, CommandParametersGetOneNoticeAfterTheWindowIsShown)
{
    TStartupHooks hooks = Hooks();
    std::vector<TBox> boxes;
    lmvtest::TModalDriver driver;
    driver.WhenShown<QMessageBox>("notice", Answer(boxes, QMessageBox::Ok));
    int shown = 0;
    hooks.WindowShown = [&](TMainForm& Window) {
        ++shown;
        // The notice came first, at the first idle moment.
        EXPECT_EQ(boxes.size(), 1u);
        Window.close();
    };
    EXPECT_EQ(RunMainWindow({QStringLiteral("file.txt"), QStringLiteral("-x")}, hooks), 0);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(boxes.size(), 1u);
    ExpectBox(boxes[0], QStringLiteral("This application does not process command parameters."),
              QMessageBox::Information, QMessageBox::Ok);
    EXPECT_TRUE(boxes[0].WindowShown);
}

// ---------------------------------------------------------------------------------------------
// Tools and Help

TEST_F(StartupTest, CopyEncodingNamesPutsEveryEntryWithCrLfOnTheClipboard)
{
    Start("liblumiva-iconv-fixed.so");
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Form->UngroupedM1->trigger();
    std::string ungrouped;
    for (const std::string& name : lmvtest::FixedLibraryNames())
        ungrouped += name + "\r\n";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Q(ungrouped));
    Form->GroupedM1->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Q(lmvtest::FixedLibraryGroupsText()));
}

TEST_F(StartupTest, SystemInformationShowsTheLocalesCodePageTwice)
{
    Start();
    Show();
    std::vector<TBox> boxes;
    lmvtest::TModalDriver driver;
    auto ok = Answer(boxes, QMessageBox::Ok);
    driver.WhenShown<QMessageBox>("in C", ok);
    bool utf8 = false;
    {
        lmvtest::LocaleScope inC("C");
        ASSERT_TRUE(inC.Active);
        Form->SystemInformationM1->trigger();
        lmvtest::LocaleScope inUtf8("C.UTF-8");
        utf8 = inUtf8.Active;
        if (utf8) {
            driver.WhenShown<QMessageBox>("in UTF-8", ok);
            Form->SystemInformationM1->trigger();
        }
    }
    EXPECT_TRUE(driver.Done());

    ASSERT_EQ(boxes.size(), utf8 ? 2u : 1u);
    ExpectBox(boxes[0], QStringLiteral("ANSI code-page indentifier: 20127\nOEM code-page indentifier: 20127"),
              QMessageBox::Information, QMessageBox::Ok, QStringLiteral("System Information"));
    if (utf8) {
        EXPECT_EQ(boxes[1].Text,
                  QStringLiteral("ANSI code-page indentifier: 65001\nOEM code-page indentifier: 65001"));
    }
}

TEST_F(StartupTest, AboutEndsWithTheVersion)
{
    Start();
    Show();
    QString title;
    QString text;
    lmvtest::TModalDriver driver;
    driver.When<QDialog>("About", [&](QDialog* Window) {
        title = Window->windowTitle();
        if (auto* message = Window->findChild<QLabel*>(QStringLiteral("Message")))
            text = message->text();
        Window->findChild<QPushButton*>(QStringLiteral("Button0"))->click();
    });
    Form->AboutM1->trigger();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(title, QStringLiteral("About"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 2) << text.toStdString();
    EXPECT_EQ(lines.first(), QStringLiteral("Lumiva"));
    EXPECT_EQ(lines.last(), QStringLiteral("Version ") + QString::fromLatin1(LumivaVersion()));
}

TEST_F(StartupTest, HelpNamesTheDocumentBesideTheExecutableAndCancelOpensNothing)
{
    Start();
    Show();
    EXPECT_EQ(Form->HelpFileName, QCoreApplication::applicationDirPath().toStdString() + "/Help/index.html");
    // The test build has no help beside it.
    Form->HelpFileName = Dir / "index.html";
    WriteFile(Form->HelpFileName, "<html></html>");

    std::vector<QUrl> opened;
    Form->OpenDocument = [&](const QUrl& Url) {
        opened.push_back(Url);
        return true;
    };
    std::vector<TBox> boxes;
    lmvtest::TModalDriver driver;
    driver.WhenShown<QMessageBox>("cancelled", Answer(boxes, QMessageBox::Cancel));
    Form->HelpM2->trigger();
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(boxes.size(), 1u);
    ExpectBox(boxes[0],
              ToDisplayText("The program opens the following document:\r\n\r\n" + Form->HelpFileName + "\r\n\r\nContinue?"),
              QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(opened.empty());

    {
        // Confirmed: the document is opened and nothing more is said.
        lmvtest::TModalScript catcher;
        catcher.Box(QMessageBox::Ok);
        Form->HelpM2->trigger();
        EXPECT_TRUE(catcher.Done());
        EXPECT_EQ(catcher.Texts, QStringList{boxes[0].Text});
    }
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(Q(Form->HelpFileName)));
}

TEST_F(StartupTest, HelpThatCannotBeOpenedIsReportedWithThePathInQuotes)
{
    Start();
    Show();
    std::filesystem::create_directories(Dir / "Help");
    WriteFile(Dir / "Help/index.html", "<html></html>");
    // The desktop answers yes before it looks at the file; a missing document is never handed to it.
    bool desktopSucceeds = true;
    int attempts = 0;
    Form->OpenDocument = [&](const QUrl&) {
        ++attempts;
        return desktopSucceeds;
    };
    const auto reportOf = [&] {
        std::vector<TBox> boxes;
        lmvtest::TModalDriver driver;
        driver.WhenShown<QMessageBox>("question", [](QMessageBox* Box) { Box->button(QMessageBox::Ok)->click(); })
            .WhenShown<QMessageBox>("report", Answer(boxes, QMessageBox::Ok));
        Form->HelpM2->trigger();
        EXPECT_TRUE(driver.Done());
        return boxes;
    };

    for (const std::string& missing : {Dir / "no such/Help/index.html", Dir / "Help"}) {
        Form->HelpFileName = missing;
        const std::vector<TBox> boxes = reportOf();
        ASSERT_EQ(boxes.size(), 1u) << missing;
        // No full stop after the closing double quote.
        ExpectBox(boxes[0], QStringLiteral("Cannot open \"") + Q(missing) + QStringLiteral("\""), QMessageBox::Critical,
                  QMessageBox::Ok);
    }
    EXPECT_EQ(attempts, 0);

    // A document there that the desktop cannot open.
    Form->HelpFileName = Dir / "Help/index.html";
    desktopSucceeds = false;
    const std::vector<TBox> boxes = reportOf();
    EXPECT_EQ(attempts, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Cannot open \"") + Q(Form->HelpFileName) + QStringLiteral("\""));
}

} // namespace
