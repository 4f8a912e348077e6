#pragma once

#include "settings/ConvertOptions.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <string>
#include <vector>

class QWidget;
struct TMainFormWidgets;

// The main window's option controls: the conversion options shown in them and read back, the
// check of one control, and the checks run when the focus leaves a control for another (once that
// focus change is over) or Enter is pressed in an encoding box. The window creates it after its
// controls, watches them through it, and deletes it before them; errors are shown over Window.
class TOptionControls : public QObject {
public:
    TOptionControls(QWidget& Window, TMainFormWidgets& Form);

    void Show(const TConvertOptions& Options);
    // Checks the controls first; raises the first error with the faulty control focused.
    TConvertOptions Read();
    void ValidateControl(QWidget* Control);
    // Focuses Control where it can take the focus, then raises Message.
    [[noreturn]] void ControlError(QWidget* Control, const std::string& Message);
    // Enables the fields that belong to the chosen output.
    void UpdateControlStates();

    // Watches Control's focus and keys.
    void Watch(QWidget* Control);
    // The option control that holds the focus, or null.
    QWidget* ActiveControl() const;
    bool IsOptionControl(QWidget* Widget) const;
    // Gives Control the focus (null: takes it away) without the leave check of the control losing it.
    void FocusQuietly(QWidget* Control);
    // Runs the checks still waiting for the focus change to end; the first error ends them.
    void RunExitChecks();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SetRadioButtons(std::int32_t Output);
    void QueueExitCheck(QWidget* Control);
    // Enter (a carriage return or line feed) in an encoding box checks it; the caller swallows the key.
    void ComboBoxKeyPress(QWidget* Sender);

    QWidget& Window;
    TMainFormWidgets& Form;
    std::vector<QPointer<QWidget>> PendingExits;
    bool ExitChecksQueued = false;
    // Set while a leave check runs or the program moves the focus itself, so that the focus moves
    // it causes (the error box, the faulty control taking the focus back) start no further checks.
    int ExitChecksSuppressed = 0;
};
