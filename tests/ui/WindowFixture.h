#pragma once

// The main window under test: its dialogs stood in for, and a script that answers the modal
// windows it opens.
#include "engine/Lumiva.h"
#include "tests/ui/ModalDriver.h"
#include "ui/DialogQuestions.h"
#include "ui/MainForm.h"
#include "ui/MainFormRun.h"
#include "ui/MainFormSettings.h"
#include "ui/OptionControls.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgressDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lmvtest {

// A text in the locale's charset as the widgets show it.
inline QString Q(const std::string& Text)
{
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

// File dialogs that are cancelled at once; records the title of each.
class TNoFileDialogs : public TFileDialogRunner {
public:
    bool Run(TFileDialog& Dialog) override
    {
        Shown.push_back(Dialog.Title);
        return false;
    }
    std::vector<std::string> Shown;
};

// File dialogs that answer from a script: each answer is the list of chosen names, empty for
// cancel. Records what each dialog was asked to show.
class TScriptedFileDialogs : public TFileDialogRunner {
public:
    struct TShown {
        std::string Title;
        TFileDialog::TKind Kind;
        std::string FileName;
        std::string InitialDir;
    };

    bool Run(TFileDialog& Dialog) override
    {
        Shown.push_back({Dialog.Title, Dialog.Kind, Dialog.FileName, Dialog.InitialDir});
        if (Answers.empty())
            return false;
        const std::vector<std::string> answer = Answers.front();
        Answers.pop_front();
        if (answer.empty())
            return false;
        Dialog.FileName = answer[0];
        Dialog.Files.Clear();
        for (const std::string& name : answer)
            Dialog.Files.Add(name);
        return true;
    }

    std::deque<std::vector<std::string>> Answers;
    std::vector<TShown> Shown;
};

// Answers the modal windows that open while a test runs, in order: each step takes the window it
// matches and must close it. Any other box, question or dialog is recorded and closed.
class TModalScript : public TModalDriver {
public:
    TModalScript() { CloseUnexpected(); }

    // A message box: its text and caption are recorded, then Button pressed.
    TModalScript& Box(QMessageBox::StandardButton Button)
    {
        return Step([](QWidget* W) { return qobject_cast<QMessageBox*>(W) != nullptr; },
                    [this, Button](QWidget* W) {
                        auto* box = static_cast<QMessageBox*>(W);
                        Texts << box->text();
                        Captions << box->windowTitle();
                        box->button(Button)->click();
                    });
    }

    // A question with the caller's buttons: its text is recorded, Before runs, then button Index
    // is pressed.
    TModalScript& Question(int Index, std::function<void()> Before = {})
    {
        return Step([](QWidget* W) { return W->objectName() == QStringLiteral("MessageDialog"); },
                    [this, Index, Before](QWidget* W) {
                        Texts << W->findChild<QLabel*>(QStringLiteral("Message"))->text();
                        if (Before)
                            Before();
                        W->findChild<QPushButton*>(QStringLiteral("Button%1").arg(Index))->click();
                    });
    }

    // A file dialog, handed to Act, which must close it.
    TModalScript& FileDialog(std::function<void(QFileDialog*)> Act)
    {
        return Step([](QWidget* W) { return qobject_cast<QFileDialog*>(W) != nullptr; },
                    [Act = std::move(Act)](QWidget* W) { Act(static_cast<QFileDialog*>(W)); });
    }

    // Every step taken, and no other window came.
    ::testing::AssertionResult Finished() const
    {
        if (!Done())
            return ::testing::AssertionFailure() << "steps left";
        if (!Unexpected.isEmpty())
            return ::testing::AssertionFailure() << "unexpected: " << Unexpected.join(QLatin1Char('|')).toStdString();
        return ::testing::AssertionSuccess();
    }

    TModalScript& Step(std::function<bool(QWidget*)> Match, std::function<void(QWidget*)> Act)
    {
        Then("step", std::move(Match), std::move(Act));
        return *this;
    }

    QStringList Texts;
    QStringList Captions;
};

// What a main window over a settings file needs, for tests of what it loads and saves: its
// dialogs are never shown.
struct TWindowParts {
    TProgressDialog Progress;
    TNoFileDialogs Dialogs;
    TDialogQuestions Questions;

    std::unique_ptr<TMainForm> Window(const std::string& SettingsFile)
    {
        return std::make_unique<TMainForm>(std::make_unique<TLumiva>(), Progress, Dialogs, Questions, SettingsFile);
    }
};

// A main window over the project's conversion library, with a real progress dialog and
// questions and the file dialogs of TDialogs.
template <class TDialogs>
class TWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<TMainForm>(std::make_unique<TLumiva>(), Progress, Dialogs, Questions);
    }

    // Shown and active, ready for keys.
    void Show()
    {
        Form->show();
        Activate();
    }

    void Activate()
    {
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }

    // Urls dragged from a file manager and dropped on the window; whether the drop was taken.
    bool Drop(const QList<QUrl>& Urls)
    {
        QMimeData mime;
        mime.setUrls(Urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Form.get(), &enter);
        QApplication::sendEvent(Form.get(), &drop);
        return drop.isAccepted();
    }

    TProgressDialog Progress;
    TDialogs Dialogs;
    TDialogQuestions Questions;
    std::unique_ptr<TMainForm> Form;
};

} // namespace lmvtest
