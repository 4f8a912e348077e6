#pragma once

// Drives modal windows while their modal loop runs: a polling timer waits, step by step, for the
// active modal widget to be ready and then acts on it, the way a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace lmvtest {

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

private:
    struct TStep {
        std::string Name;
        TReady Ready;
        TAction Action;
    };

    void Tick()
    {
        if (Steps.empty()) {
            if (!Pending)
                Timer.stop();
            return;
        }
        if (Pending)
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (++Ticks > TickLimit) {
            // Whatever the script waited for never came: fail, and end the modal loops so the
            // test can go on.
            ADD_FAILURE() << "modal script stuck at step \"" << Steps.front().Name << "\"";
            Steps.clear();
            while (QWidget* widget = QApplication::activeModalWidget())
                widget->hide();
            return;
        }
        if (!modal || !modal->isVisible() || !Steps.front().Ready(modal))
            return;
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

    static constexpr int TickLimit = 10000;
    QTimer Timer;
    std::deque<TStep> Steps;
    bool Pending = false;
    int Ticks = 0;
    int Taken = 0;
};

} // namespace lmvtest
