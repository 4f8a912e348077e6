#pragma once

#include "settings/AssistOptions.h"
#include "settings/ConvertSpecs.h"
#include "settings/FolderOptions.h"
#include "ui/FolderOptionsBox.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

// The "Options" dialog: signature and byte order of UTF output, the log option, what a folder
// expands to and whether results keep their source's time. It owns the
// live records; they change only on a valid OK (and when settings are loaded).
class TOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsDialog(QWidget* Parent = nullptr);

    // Modal; true when closed with OK (the members are then already updated).
    bool Execute();

    TConvertSpecs ConvertSpecs;
    TAssistOptions AssistOptions;
    TFolderOptions FolderOptions;

    // List position <-> value: UTF-8 0,1,2 -> 0,1,2; UTF-16/32 0,1,2,3 -> 0,1,3,4. -1: none.
    static int Utf8Position(std::int32_t Value) noexcept;
    static int Utf16Position(std::int32_t Value) noexcept;
    static std::int32_t Utf8Value(int Position) noexcept;
    static std::int32_t Utf16Value(int Position) noexcept;

    QComboBox* ComboBox1 = nullptr; // UTF-8
    QComboBox* ComboBox2 = nullptr; // UTF-16
    QComboBox* ComboBox3 = nullptr; // UTF-32
    QCheckBox* CheckBox1 = nullptr; // Always save log
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // Cancel
    QPushButton* Button3 = nullptr; // Default
    TFolderOptionsBox Folders;

protected:
    void showEvent(QShowEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void accept() override;

private:
    void SetControls(bool Defaults);
    void GetControls();
    void ValidateComboBox(QWidget* Control);
    // Leaving a list: a list without a selection is reported and takes the focus back.
    void ComboBoxExit(QComboBox* Control);
    [[noreturn]] void ControlError(QWidget* Control, const std::string& Message);
    void ButtonClick();
};
