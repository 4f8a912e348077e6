#pragma once

// Drives modal windows while their modal loop runs: a polling timer waits, step by step, for the
// active modal widget to be ready and then acts on it, the way a user would.
#include "ui/OptionsDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace lmvtest {

// A message box as the user saw it.
struct TSeenBox {
    QString Title;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
};

inline TSeenBox Look(QMessageBox* Box)
{
    QPushButton* button = Box->defaultButton();
    return {Box->windowTitle(), Box->text(), Box->icon(), Box->standardButtons(),
            button ? Box->standardButton(button) : QMessageBox::NoButton};
}

class TModalDriver {
public:
    using TReady = std::function<bool(QWidget*)>;
    using TAction = std::function<void(QWidget*)>;

    TModalDriver()
    {
        Timer.setInterval(2);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Tick(); });
    }
    ~TModalDriver() { Timer.stop(); }
    TModalDriver(const TModalDriver&) = delete;
    TModalDriver& operator=(const TModalDriver&) = delete;

    // Acts once the active modal widget is visible and Ready accepts it. Steps run in order;
    // an action may open a nested modal loop, the later steps still run inside it.
    TModalDriver& Then(std::string Name, TReady Ready, TAction Action)
    {
        Steps.push_back({std::move(Name), std::move(Ready), std::move(Action)});
        Timer.start();
        return *this;
    }

    // Acts once the active modal widget is a T and is the active window, ready for keys.
    template <class T>
    TModalDriver& When(std::string Name, std::function<void(T*)> Action)
    {
        return Then(
            std::move(Name),
            [](QWidget* Widget) { return qobject_cast<T*>(Widget) != nullptr && Widget->isActiveWindow(); },
            [Action = std::move(Action)](QWidget* Widget) { Action(qobject_cast<T*>(Widget)); });
    }

    // Acts once the active modal widget is a T, active or not (a platform without a window
    // manager does not give the focus back to a window when a box over it closes).
    template <class T>
    TModalDriver& WhenShown(std::string Name, std::function<void(T*)> Action)
    {
        return Then(
            std::move(Name), [](QWidget* Widget) { return qobject_cast<T*>(Widget) != nullptr; },
            [Action = std::move(Action)](QWidget* Widget) { Action(qobject_cast<T*>(Widget)); });
    }

    bool Done() const { return Steps.empty() && !Pending; }
    int Consumed() const { return Taken; }

    // From now on a box, question or dialog that the next step is not ready for is recorded in
    // Unexpected and closed, so a test fails instead of hanging. The progress dialog is left alone.
    void CloseUnexpected()
    {
        Closing = true;
        Timer.start();
    }

    QStringList Unexpected;

private:
    struct TStep {
        std::string Name;
        TReady Ready;
        TAction Action;
    };

    void Tick()
    {
        if (Pending)
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (Steps.empty()) {
            if (!Closing) {
                Timer.stop();
                return;
            }
        } else if (++Ticks > TickLimit) {
            // Whatever the script waited for never came: fail, and end the modal loops so the
            // test can go on.
            ADD_FAILURE() << "modal script stuck at step \"" << Steps.front().Name << "\"; modal "
                          << (modal ? modal->objectName().toStdString() : std::string("none"));
            Steps.clear();
            while (QWidget* widget = QApplication::activeModalWidget())
                widget->hide();
            return;
        }
        if (!modal || !modal->isVisible())
            return;
        if (Steps.empty() || !Steps.front().Ready(modal)) {
            if (Closing)
                CloseKnown(modal);
            return;
        }
        TStep step = std::move(Steps.front());
        Steps.pop_front();
        ++Taken;
        Ticks = 0;
        Pending = true;
        // Run from its own event, so an action that opens a nested modal loop does not block
        // this timer.
        QPointer<QWidget> target = modal;
        QTimer::singleShot(0, &Timer, [this, target, action = std::move(step.Action), name = step.Name] {
            Pending = false;
            if (!target) {
                ADD_FAILURE() << "window of step \"" << name << "\" went away";
                return;
            }
            action(target.data());
        });
    }

    void CloseKnown(QWidget* Modal)
    {
        if (auto* box = qobject_cast<QMessageBox*>(Modal)) {
            Unexpected << box->text();
            box->done(QDialog::Rejected);
        } else if (Modal->objectName() == QStringLiteral("MessageDialog")) {
            Unexpected << Modal->findChild<QLabel*>(QStringLiteral("Message"))->text();
            Modal->findChild<QPushButton*>(QStringLiteral("Button0"))->click();
        } else if (qobject_cast<QFileDialog*>(Modal) || qobject_cast<TOptionsDialog*>(Modal)) {
            Unexpected << Modal->objectName();
            static_cast<QDialog*>(Modal)->done(QDialog::Rejected);
        }
    }

    static constexpr int TickLimit = 10000;
    QTimer Timer;
    std::deque<TStep> Steps;
    bool Pending = false;
    bool Closing = false;
    int Ticks = 0;
    int Taken = 0;
};

} // namespace lmvtest
