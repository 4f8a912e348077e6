#pragma once

#include <cstdint>
#include <exception>
#include <string>

// A question with caller-defined buttons (button-list syntax: &Yes,"Yes to &All",...).
struct TMessageDialogParams {
    std::string Text;
    std::string Buttons;
    std::int32_t DefaultButton = -1;
    std::int32_t CancelButton = -1;
    std::int32_t FocusButton = -1;
    std::int32_t DialogType = 5;
};

// How a run's questions and run-level errors reach the user. The worker calls these on the main
// thread and waits; the window shows dialogs, tests and the command-line tool answer otherwise.
class TRunQuestions {
public:
    virtual ~TRunQuestions() = default;
    // A message box with the application title; Flags are MB_* values; returns an ID* value.
    virtual std::int32_t AskMessageBox(const std::string& Text, std::uint32_t Flags) = 0;
    // Returns the index of the button pressed, or -1.
    virtual std::int32_t AskMessageDialog(const TMessageDialogParams& Params) = 0;
    // A run-level failure; E is null when the failure carries no message.
    virtual void ShowError(const std::exception* E) = 0;
};
