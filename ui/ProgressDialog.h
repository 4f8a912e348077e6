#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

// The modal window shown for a whole run: status text, share of files done, one abort button.
// The user cannot close it; only Finish does.
class TProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit TProgressDialog(QWidget* Parent = nullptr);

    void SetMessage(const std::string& Text);
    void SetPosition(int Value);
    void SetButtonCaption(const std::string& Text);
    // Percentage of Position in Max, 0 when either is not positive, 100 from Max on.
    void SetProgress(std::int32_t Position, std::int32_t Max);
    static int Percentage(std::int32_t Position, std::int32_t Max) noexcept;
    // Shows the dialog modally until Finish.
    void ExecuteModal();
    void Finish();

    bool Running = false;
    // Called on every activation (and once when shown); must be harmless when repeated.
    std::function<void(TProgressDialog* Sender)> OnExecute;
    // Called when the button is pressed (mouse, Enter or Esc).
    std::function<void(TProgressDialog* Sender)> OnCommand;

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void reject() override;
    void done(int Result) override;

private:
    void FormActivate();
    void Button1Click();
};
