#pragma once

#include "run/RunQuestions.h"

class QWidget;

// A run's questions and run-level errors shown as dialogs on the main thread.
class TDialogQuestions : public TRunQuestions {
public:
    // Parent: the window the boxes belong to; null means the active modal widget or window.
    explicit TDialogQuestions(QWidget* Parent = nullptr) : Parent(Parent) {}

    std::int32_t AskMessageBox(const std::string& Text, std::uint32_t Flags) override;
    std::int32_t AskMessageDialog(const TMessageDialogParams& Params) override;
    void ShowError(const std::exception* E) override;

private:
    QWidget* Parent;
};
