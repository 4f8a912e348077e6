#pragma once

// The main window under test: its dialogs stood in for, and a script that answers the modal
// windows it opens.
#include "engine/Lumiva.h"
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
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

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
// matches and must close it. The progress dialog is left alone; a box, question or dialog no
// step expects is recorded and closed, so a test fails instead of hanging.
class TModalScript {
public:
    struct TStep {
        std::function<bool(QWidget*)> Match;
        std::function<void(QWidget*)> Act;
    };

    TModalScript()
    {
        Timer.setInterval(5);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Poll(); });
        Timer.start();
    }

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

    TModalScript& Step(std::function<bool(QWidget*)> Match, std::function<void(QWidget*)> Act)
    {
        Steps.push_back({std::move(Match), std::move(Act)});
        return *this;
    }

    bool Done() const { return Steps.empty() && !Pending; }

    QStringList Texts;
    QStringList Captions;
    QStringList Unexpected;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!Steps.empty() && ++Ticks > TickLimit) {
            // What the script waits for never came: fail, and end the modal loops so the test
            // can go on.
            ADD_FAILURE() << "modal script stuck with " << Steps.size() << " steps left; modal "
                          << (modal ? modal->objectName().toStdString() : std::string("none"));
            Steps.clear();
            while (QWidget* widget = QApplication::activeModalWidget())
                widget->hide();
            return;
        }
        if (!modal || !modal->isVisible())
            return;
        if (Pending)
            return;
        if (!Steps.empty() && Steps.front().Match(modal)) {
            Ticks = 0;
            // Acted on from an event of its own: an action that opens a nested modal loop must
            // not hold up this timer.
            Pending = true;
            QTimer::singleShot(0, &Timer, [this, target = QPointer<QWidget>(modal),
                                           act = std::move(Steps.front().Act)] {
                Pending = false;
                if (target)
                    act(target);
            });
            Steps.pop_front();
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Unexpected << box->text();
            box->done(QDialog::Rejected);
        } else if (modal->objectName() == QStringLiteral("MessageDialog")) {
            Unexpected << modal->findChild<QLabel*>(QStringLiteral("Message"))->text();
            modal->findChild<QPushButton*>(QStringLiteral("Button0"))->click();
        } else if (qobject_cast<QFileDialog*>(modal) || qobject_cast<TOptionsDialog*>(modal)) {
            Unexpected << modal->objectName();
            static_cast<QDialog*>(modal)->done(QDialog::Rejected);
        }
    }

    static constexpr int TickLimit = 4000;
    QTimer Timer;
    std::deque<TStep> Steps;
    bool Pending = false;
    int Ticks = 0;
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
