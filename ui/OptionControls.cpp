#include "ui/OptionControls.h"

#include "settings/OptionRules.h"
#include "ui/LocalText.h"
#include "ui/MainFormWidgets.h"
#include "ui/MessageBox.h"
#include "util/Exception.h"
#include "util/IntegerText.h"
#include "util/Mysysutils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

std::string TextOf(const QLineEdit* Edit)
{
    return ToLocalString(Edit->text());
}

std::string TextOf(const QComboBox* Box)
{
    return ToLocalString(Box->currentText());
}

bool IsLineBreakKey(int Key, const QString& Text)
{
    return Key == Qt::Key_Return || Key == Qt::Key_Enter || Text == QStringLiteral("\r") ||
           Text == QStringLiteral("\n");
}

// Counts up while alive: the focus moves the program makes itself start no leave checks.
class TSuppress {
public:
    explicit TSuppress(int& Counter) : Counter(Counter) { ++Counter; }
    ~TSuppress() { --Counter; }
    TSuppress(const TSuppress&) = delete;
    TSuppress& operator=(const TSuppress&) = delete;

private:
    int& Counter;
};

} // namespace

TOptionControls::TOptionControls(QWidget& Window, TMainFormWidgets& Form) : Window(Window), Form(Form) {}

void TOptionControls::SetRadioButtons(std::int32_t Output)
{
    QRadioButton* const buttons[] = {Form.RadioButton11, Form.RadioButton12, Form.RadioButton13};
    if (Output >= 0 && Output <= 2) {
        buttons[Output]->setChecked(true);
        return;
    }
    // Exclusive buttons cannot all be cleared; they are so only for a moment.
    for (QRadioButton* button : buttons)
        button->setAutoExclusive(false);
    for (QRadioButton* button : buttons)
        button->setChecked(false);
    for (QRadioButton* button : buttons)
        button->setAutoExclusive(true);
}

void TOptionControls::Show(const TConvertOptions& Options)
{
    const TConvertOptions& source = Options;
    Form.ComboBox1->setEditText(ToQString(source.FromEncoding));
    Form.ComboBox2->setEditText(ToQString(source.ToEncoding));
    Form.ComboBox3->setCurrentIndex(source.Translation >= 0 && source.Translation <= 2 ? source.Translation
                                                                                      : -1);
    Form.Edit1->setText(QString::number(source.BufferSize));
    SetRadioButtons(source.Output);
    Form.Edit11->setText(ToQString(source.OutputDirectory));
    Form.Edit12->setText(ToQString(source.OutputPrefix));
    Form.CheckBox11->setChecked(source.BackupSrcFiles);
    Form.Edit13->setText(ToQString(source.BackupPrefix));
    UpdateControlStates();
    FocusQuietly(nullptr);
    FocusQuietly(Form.ComboBox1);
}

TConvertOptions TOptionControls::Read()
{
    RunExitChecks();
    if (QWidget* control = ActiveControl())
        ValidateControl(control);

    TConvertOptions options;
    options.FromEncoding = TextOf(Form.ComboBox1);
    options.ToEncoding = TextOf(Form.ComboBox2);
    const int translation = Form.ComboBox3->currentIndex();
    if (translation >= 0 && translation <= 2)
        options.Translation = translation;
    else
        ValidateControl(Form.ComboBox3);
    options.BufferSize = StrToInt(TextOf(Form.Edit1));
    if (Form.RadioButton11->isChecked())
        options.Output = omDirectory;
    else if (Form.RadioButton12->isChecked())
        options.Output = omPrefix;
    else if (Form.RadioButton13->isChecked())
        options.Output = omOverwrite;
    else
        ValidateControl(Form.RadioButton11);
    options.OutputDirectory = TextOf(Form.Edit11);
    options.OutputPrefix = TextOf(Form.Edit12);
    options.BackupSrcFiles = Form.CheckBox11->isChecked();
    options.BackupPrefix = TextOf(Form.Edit13);
    return options;
}

void TOptionControls::ValidateControl(QWidget* Control)
{
    if (Control == Form.ComboBox1 || Control == Form.ComboBox2) {
        auto* box = static_cast<QComboBox*>(Control);
        if (box->count() == 0)
            return;
        const std::string text = TextOf(box);
        int found = -1;
        for (int i = 0; i < box->count() && found < 0; ++i)
            if (SameText(ToLocalString(box->itemText(i)), text))
                found = i;
        if (found < 0)
            ControlError(box, SelectAnItemInTheListMessage);
        if (ToLocalString(box->itemText(found)) != text) {
            // Cleared first: selecting the item that is already current would keep the typed text.
            box->setCurrentIndex(-1);
            box->setCurrentIndex(found);
        }
    } else if (Control == Form.ComboBox3) {
        if (Form.ComboBox3->count() > 0 && Form.ComboBox3->currentIndex() < 0)
            ControlError(Form.ComboBox3, SelectAnItemMessage);
    } else if (Control == Form.Edit1 || Control == Form.Edit11 || Control == Form.Edit12 || Control == Form.Edit13) {
        auto* edit = static_cast<QLineEdit*>(Control);
        const std::string text = TextOf(edit);
        const std::string message = edit == Form.Edit1    ? CheckBufferSize(text)
                                    : edit == Form.Edit11 ? CheckOutputDirectory(text)
                                                     : CheckPrefix(text);
        if (!message.empty())
            ControlError(edit, message);
    } else if (Control == Form.RadioButton11 || Control == Form.RadioButton12 || Control == Form.RadioButton13) {
        if (!Form.RadioButton11->isChecked() && !Form.RadioButton12->isChecked() && !Form.RadioButton13->isChecked())
            ControlError(Form.RadioButton11, SelectAnItemMessage);
    }
}

void TOptionControls::ControlError(QWidget* Control, const std::string& Message)
{
    if (Control && Control->isEnabled() && Control->isVisibleTo(&Window) &&
        Control->focusPolicy() != Qt::NoFocus)
        FocusQuietly(Control);
    throw Exception(Message);
}

void TOptionControls::UpdateControlStates()
{
    Form.Edit11->setEnabled(Form.RadioButton11->isChecked());
    Form.Button11->setEnabled(Form.RadioButton11->isChecked());
    Form.Edit12->setEnabled(Form.RadioButton12->isChecked());
    Form.CheckBox11->setEnabled(Form.RadioButton13->isChecked());
    Form.Edit13->setEnabled(Form.CheckBox11->isEnabled() && Form.CheckBox11->isChecked());
}

void TOptionControls::Watch(QWidget* Control)
{
    Control->installEventFilter(this);
}

bool TOptionControls::IsOptionControl(QWidget* Widget) const
{
    return Widget && (Widget == Form.ComboBox1 || Widget == Form.ComboBox2 || Widget == Form.ComboBox3 ||
                      Widget == Form.Edit1 || Widget == Form.RadioButton11 || Widget == Form.Edit11 ||
                      Widget == Form.Button11 || Widget == Form.RadioButton12 || Widget == Form.Edit12 ||
                      Widget == Form.RadioButton13 || Widget == Form.CheckBox11 || Widget == Form.Edit13);
}

QWidget* TOptionControls::ActiveControl() const
{
    QWidget* widget = Window.focusWidget();
    while (widget && widget != &Window && !IsOptionControl(widget))
        widget = widget->parentWidget();
    return IsOptionControl(widget) ? widget : nullptr;
}

void TOptionControls::FocusQuietly(QWidget* Control)
{
    TSuppress suppress(ExitChecksSuppressed);
    if (Control) {
        Control->setFocus(Qt::OtherFocusReason);
    } else if (QWidget* focused = Window.focusWidget()) {
        focused->clearFocus();
    }
}

void TOptionControls::QueueExitCheck(QWidget* Control)
{
    PendingExits.emplace_back(Control);
    if (ExitChecksQueued)
        return;
    ExitChecksQueued = true;
    // After the focus change is complete: an error box in the middle of it would leave a pressed
    // button or a half-moved focus behind.
    QTimer::singleShot(0, this, [this] {
        ExitChecksQueued = false;
        TSuppress suppress(ExitChecksSuppressed);
        Guarded([this] { RunExitChecks(); }, &Window);
    });
}

void TOptionControls::RunExitChecks()
{
    if (PendingExits.empty())
        return;
    // The first error ends the checks; the focus is then on the faulty control.
    const std::vector<QPointer<QWidget>> pending = std::move(PendingExits);
    PendingExits.clear();
    for (const QPointer<QWidget>& control : pending)
        if (control)
            ValidateControl(control);
}

void TOptionControls::ComboBoxKeyPress(QWidget* Sender)
{
    RunExitChecks();
    ValidateControl(Sender);
}

bool TOptionControls::eventFilter(QObject* Watched, QEvent* Event)
{
    auto* control = qobject_cast<QWidget*>(Watched);
    if (control && IsOptionControl(control)) {
        if (Event->type() == QEvent::FocusOut) {
            // Only a move to another control is leaving it; the window losing the activation, a
            // menu or a drop-down list opening are not.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(Event)->reason();
            if (ExitChecksSuppressed == 0 && reason != Qt::ActiveWindowFocusReason &&
                reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason && reason != Qt::NoFocusReason)
                QueueExitCheck(control);
        } else if (Event->type() == QEvent::KeyPress && (control == Form.ComboBox1 || control == Form.ComboBox2)) {
            auto* key = static_cast<QKeyEvent*>(Event);
            if (IsLineBreakKey(key->key(), key->text())) {
                Guarded([&] { ComboBoxKeyPress(control); }, &Window);
                return true;
            }
        }
    }
    return QObject::eventFilter(Watched, Event);
}
