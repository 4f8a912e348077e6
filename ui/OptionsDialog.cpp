#include "ui/OptionsDialog.h"

#include "ui/MessageBox.h"
#include "util/Exception.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

// A quarter of the average character width of the font, the unit of the layout's widths.
int HorizontalUnits(const QFontMetrics& Metrics, int Units)
{
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (Metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return (Units * baseX + 2) / 4;
}

constexpr std::array<std::int32_t, 3> Utf8Values{usDefault, usWithoutBom, usWithBom};
constexpr std::array<std::int32_t, 4> Utf16Values{usDefault, usWithoutBom, usLeWithBom, usBeWithBom};

template <std::size_t N>
int PositionOf(const std::array<std::int32_t, N>& Values, std::int32_t Value) noexcept
{
    const auto found = std::find(Values.begin(), Values.end(), Value);
    return found == Values.end() ? -1 : static_cast<int>(found - Values.begin());
}

template <std::size_t N>
std::int32_t ValueAt(const std::array<std::int32_t, N>& Values, int Position) noexcept
{
    return Position >= 0 && static_cast<std::size_t>(Position) < N ? Values[static_cast<std::size_t>(Position)] : -1;
}

} // namespace

int TOptionsDialog::Utf8Position(std::int32_t Value) noexcept
{
    return PositionOf(Utf8Values, Value);
}

int TOptionsDialog::Utf16Position(std::int32_t Value) noexcept
{
    return PositionOf(Utf16Values, Value);
}

std::int32_t TOptionsDialog::Utf8Value(int Position) noexcept
{
    return ValueAt(Utf8Values, Position);
}

std::int32_t TOptionsDialog::Utf16Value(int Position) noexcept
{
    return ValueAt(Utf16Values, Position);
}

TOptionsDialog::TOptionsDialog(QWidget* Parent)
    : QDialog(Parent), ConvertSpecs(DefaultConvertSpecs()), AssistOptions(DefaultAssistOptions()),
      FolderOptions(DefaultFolderOptions()), Folders(this)
{
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    const QFontMetrics metrics(font());

    auto* groupBox1 = new QGroupBox(QStringLiteral("UTF"), this);
    groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* utfGrid = new QGridLayout(groupBox1);
    const auto addList = [&](int Row, const QString& Caption, const QStringList& Items) {
        auto* label = new QLabel(Caption, groupBox1);
        label->setObjectName(QStringLiteral("Label%1").arg(Row + 1));
        auto* comboBox = new QComboBox(groupBox1);
        comboBox->setObjectName(QStringLiteral("ComboBox%1").arg(Row + 1));
        comboBox->addItems(Items);
        comboBox->setMinimumWidth(std::max(comboBox->sizeHint().width(), HorizontalUnits(metrics, 92)));
        comboBox->installEventFilter(this);
        label->setBuddy(comboBox);
        utfGrid->addWidget(label, Row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        utfGrid->addWidget(comboBox, Row, 1);
        return comboBox;
    };
    const QStringList utf16Items{QStringLiteral("Default"), QStringLiteral("Without BOM"),
                                 QStringLiteral("LE with BOM"), QStringLiteral("BE with BOM")};
    ComboBox1 = addList(0, QStringLiteral("UTF-&8:"),
                        {QStringLiteral("Default"), QStringLiteral("Without BOM"), QStringLiteral("WIth BOM")});
    ComboBox2 = addList(1, QStringLiteral("UTF-&16:"), utf16Items);
    ComboBox3 = addList(2, QStringLiteral("UTF-&32:"), utf16Items);
    utfGrid->setColumnStretch(1, 1);
    utfGrid->setHorizontalSpacing(HorizontalUnits(metrics, 8));

    auto* groupBox2 = new QGroupBox(QStringLiteral("Log"), this);
    groupBox2->setObjectName(QStringLiteral("GroupBox2"));
    CheckBox1 = new QCheckBox(QStringLiteral("&Always save log"), groupBox2);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    auto* logLayout = new QVBoxLayout(groupBox2);
    logLayout->addWidget(CheckBox1);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("&Default"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    int buttonWidth = HorizontalUnits(metrics, 55);
    for (QPushButton* button : {Button1, Button2, Button3})
        buttonWidth = std::max(buttonWidth, button->sizeHint().width());
    for (QPushButton* button : {Button1, Button2, Button3})
        button->setFixedWidth(buttonWidth);
    connect(Button1, &QPushButton::clicked, this, &TOptionsDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &TOptionsDialog::reject);
    connect(Button3, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonClick(); }, this); });

    auto* left = new QVBoxLayout();
    left->addWidget(groupBox1);
    left->addWidget(groupBox2);
    left->addWidget(Folders.GroupBox3);
    left->addWidget(Folders.CheckBox4);
    left->addStretch(1);

    auto* right = new QVBoxLayout();
    right->addWidget(Button1);
    right->addWidget(Button2);
    right->addSpacing(metrics.height() / 2);
    right->addWidget(Button3);
    right->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(left);
    layout->addLayout(right);

    setTabOrder(ComboBox1, ComboBox2);
    setTabOrder(ComboBox2, ComboBox3);
    setTabOrder(ComboBox3, CheckBox1);
    setTabOrder(CheckBox1, Folders.CheckBox2);
    setTabOrder(Folders.CheckBox4, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
}

bool TOptionsDialog::Execute()
{
    return exec() == QDialog::Accepted;
}

void TOptionsDialog::showEvent(QShowEvent* Event)
{
    SetControls(false);
    QDialog::showEvent(Event);
}

bool TOptionsDialog::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::FocusOut) {
        // Only a move made by the user leaves the list; a box popping up or a programmed focus
        // change does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(Event)->reason();
        auto* comboBox = qobject_cast<QComboBox*>(Watched);
        if (comboBox && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                         reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason)) {
            // Checked once the focus has moved, so the report is not shown from inside the move.
            QTimer::singleShot(0, this, [this, comboBox] { ComboBoxExit(comboBox); });
        }
    }
    return QDialog::eventFilter(Watched, Event);
}

void TOptionsDialog::ComboBoxExit(QComboBox* Control)
{
    // Closed meanwhile, or the focus is back on the list (a report already sent it there).
    if (!isVisible() || focusWidget() == Control)
        return;
    try {
        ValidateComboBox(Control);
    } catch (...) {
        ReportCurrentException(this);
    }
}

void TOptionsDialog::accept()
{
    try {
        GetControls();
    } catch (...) {
        // The dialog stays open, with the faulty list focused.
        ReportCurrentException(this);
        return;
    }
    QDialog::accept();
}

void TOptionsDialog::SetControls(bool Defaults)
{
    const TConvertSpecs specs = Defaults ? DefaultConvertSpecs() : ConvertSpecs;
    ComboBox1->setCurrentIndex(Utf8Position(specs.Utf8));
    ComboBox2->setCurrentIndex(Utf16Position(specs.Utf16));
    ComboBox3->setCurrentIndex(Utf16Position(specs.Utf32));
    const TAssistOptions options = Defaults ? DefaultAssistOptions() : AssistOptions;
    CheckBox1->setChecked(options.AlwaysSaveLog);
    Folders.Show(Defaults ? DefaultFolderOptions() : FolderOptions);
    ComboBox1->setFocus(Qt::OtherFocusReason);
}

void TOptionsDialog::GetControls()
{
    ValidateComboBox(focusWidget());
    const auto valueOf = [this](QComboBox* Control, std::int32_t (*Value)(int)) {
        if (Control->currentIndex() < 0)
            ValidateComboBox(Control);
        return Value(Control->currentIndex());
    };
    TConvertSpecs specs;
    specs.Utf8 = valueOf(ComboBox1, &Utf8Value);
    specs.Utf16 = valueOf(ComboBox2, &Utf16Value);
    specs.Utf32 = valueOf(ComboBox3, &Utf16Value);
    TAssistOptions options;
    options.AlwaysSaveLog = CheckBox1->isChecked();
    const TFolderOptions folders = Folders.Read();
    ConvertSpecs = specs;
    FolderOptions = folders;
    AssistOptions = options;
}

void TOptionsDialog::ValidateComboBox(QWidget* Control)
{
    auto* comboBox = qobject_cast<QComboBox*>(Control);
    if (comboBox && !comboBox->isEditable() && comboBox->count() > 0 && comboBox->currentIndex() < 0)
        ControlError(comboBox, "Select an item");
}

void TOptionsDialog::ControlError(QWidget* Control, const std::string& Message)
{
    if (Control && Control->isEnabled() && Control->focusPolicy() != Qt::NoFocus)
        Control->setFocus(Qt::OtherFocusReason);
    throw Exception(Message);
}

void TOptionsDialog::ButtonClick()
{
    SetControls(true);
}
