#pragma once

#include "util/Exception.h"
#include "util/StringList.h"

#include <QIcon>

#include <cstdint>
#include <string>

enum TDialogType : std::int32_t {
    dtWarning = 0,
    dtError = 1,
    dtInformation = 2,
    dtConfirmation = 3,
    dtCustomIcon = 4,
    dtPlain = 5,
};

// A modal message with an icon and caller-defined buttons; Execute returns the index of the button
// pressed. Without a valid cancel button (and with buttons) the dialog cannot be closed but by a
// button: Esc, the close box and Alt+F4 do nothing.
class TMessageDialog {
public:
    class EMessageDialogError : public Exception {
    public:
        using Exception::Exception;
    };

    TMessageDialog() = default;
    virtual ~TMessageDialog() = default;
    TMessageDialog(const TMessageDialog&) = delete;
    TMessageDialog& operator=(const TMessageDialog&) = delete;

    // The index of the button pressed; the cancel button's index when closed without a button;
    // -1 when no button corresponds. Raises EMessageDialogError for more than 9 buttons or an
    // unknown DialogType, before any window is shown.
    virtual std::int32_t Execute();

    std::string Title;
    std::string Message;
    TStringList Buttons;
    std::int32_t DefaultButton = -1;
    std::int32_t CancelButton = -1;
    std::int32_t FocusButton = -1;
    std::int32_t DialogType = dtPlain;
    QIcon Icon;
};
