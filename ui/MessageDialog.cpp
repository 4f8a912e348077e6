#include "ui/MessageDialog.h"

#include "ui/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t MaxButtons = 9;

// Dialog units: a horizontal unit is a quarter of the average character width of the dialog
// font, a vertical unit an eighth of its height, so the spacing follows the font and scaling.
struct TDialogUnits {
    explicit TDialogUnits(const QFontMetrics& Metrics)
        : BaseX((Metrics.horizontalAdvance(Alphabet()) / 26 + 1) / 2), BaseY(Metrics.height())
    {
    }
    static QString Alphabet() { return QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"); }
    int X(int Units) const { return (Units * BaseX + 2) / 4; }
    int Y(int Units) const { return (Units * BaseY + 4) / 8; }
    int BaseX;
    int BaseY;
};

QStyle::StandardPixmap PixmapOf(std::int32_t DialogType)
{
    switch (DialogType) {
    case dtWarning:
        return QStyle::SP_MessageBoxWarning;
    case dtError:
        return QStyle::SP_MessageBoxCritical;
    case dtInformation:
        return QStyle::SP_MessageBoxInformation;
    default:
        return QStyle::SP_MessageBoxQuestion;
    }
}

// The window of one Execute. It answers with the index of the button pressed; without a valid
// cancel button (and with buttons) it refuses every other way of closing.
class TMessageWindow : public QDialog {
public:
    explicit TMessageWindow(const TMessageDialog& Dialog, QWidget* Parent);

    std::int32_t Answer = -1;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    bool CloseAllowed = true;
    std::int32_t CancelButton = -1;
    std::vector<QPushButton*> ButtonWidgets;
};

TMessageWindow::TMessageWindow(const TMessageDialog& Dialog, QWidget* Parent) : QDialog(Parent)
{
    const std::int32_t count = static_cast<std::int32_t>(Dialog.Buttons.Count());
    const auto valid = [count](std::int32_t Index) { return Index >= 0 && Index < count; };
    CancelButton = valid(Dialog.CancelButton) ? Dialog.CancelButton : -1;
    CloseAllowed = CancelButton >= 0 || count == 0;
    Answer = CancelButton;

    setObjectName(QStringLiteral("MessageDialog"));
    setWindowTitle(QString::fromLocal8Bit(Dialog.Title.data(), static_cast<qsizetype>(Dialog.Title.size())));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (CloseAllowed)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);

    const TDialogUnits units(fontMetrics());
    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setContentsMargins(units.X(8), units.Y(8), units.X(8), units.Y(8));
    grid->setHorizontalSpacing(units.X(10));
    grid->setVerticalSpacing(units.Y(10));

    int textColumn = 0;
    int iconPart = 0;
    if (Dialog.DialogType != dtPlain) {
        const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        const QIcon icon = Dialog.DialogType == dtCustomIcon
                               ? Dialog.Icon
                               : style()->standardIcon(PixmapOf(Dialog.DialogType), nullptr, this);
        auto* iconLabel = new QLabel(this);
        iconLabel->setObjectName(QStringLiteral("Icon"));
        iconLabel->setFixedSize(iconSize, iconSize);
        if (!icon.isNull())
            iconLabel->setPixmap(icon.pixmap(QSize(iconSize, iconSize), devicePixelRatio()));
        grid->addWidget(iconLabel, 0, 0, Qt::AlignLeft | Qt::AlignTop);
        textColumn = 1;
        iconPart = iconSize + grid->horizontalSpacing();
    }

    auto* row = new QHBoxLayout();
    row->setSpacing(units.X(4));
    row->addStretch(1);
    int buttonWidth = units.X(50);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string& caption = Dialog.Buttons[static_cast<std::size_t>(i)];
        auto* button =
            new QPushButton(QString::fromLocal8Bit(caption.data(), static_cast<qsizetype>(caption.size())), this);
        button->setObjectName(QStringLiteral("Button%1").arg(i));
        // Enter presses the button with the focus; the default button answers it only while no
        // other button has the focus, as on the classic platform.
        button->setAutoDefault(true);
        button->setDefault(i == Dialog.DefaultButton);
        connect(button, &QPushButton::clicked, this, [this, i] {
            Answer = i;
            QDialog::accept();
        });
        buttonWidth = std::max(buttonWidth, button->sizeHint().width());
        ButtonWidgets.push_back(button);
        row->addWidget(button);
    }
    for (QPushButton* button : ButtonWidgets)
        button->setFixedWidth(buttonWidth);

    // Plain text: an "&" in the message is shown as itself.
    const QString text = ToDisplayText(Dialog.Message);
    auto* textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("Message"));
    textLabel->setTextFormat(Qt::PlainText);
    textLabel->setText(text);
    textLabel->setWordWrap(true);
    // Wrapped at half the screen width; a longer word (a path) widens the text up to the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // A button row wider than that gives the text its width too.
    const int rowWidth = count * buttonWidth + std::max(count - 1, 0) * row->spacing();
    const int wrapWidth = std::max({available.width() / 2, units.X(100), rowWidth - iconPart});
    const int widest = std::max(wrapWidth, available.width() - 2 * units.X(8) - 64);
    const QFontMetrics metrics(textLabel->font());
    const QRect bounds = metrics.boundingRect(QRect(0, 0, wrapWidth, 1 << 20),
                                              Qt::TextWordWrap | Qt::TextExpandTabs, text);
    textLabel->setFixedWidth(std::clamp(bounds.width() + 1, 1, widest));
    grid->addWidget(textLabel, 0, textColumn, Qt::AlignLeft | Qt::AlignTop);
    grid->setColumnStretch(textColumn, 1);

    row->addStretch(1);
    grid->addLayout(row, 1, 0, 1, textColumn + 1);

    if (valid(Dialog.FocusButton))
        ButtonWidgets[static_cast<std::size_t>(Dialog.FocusButton)]->setFocus(Qt::OtherFocusReason);
}

void TMessageWindow::reject()
{
    if (!CloseAllowed)
        return;
    Answer = CancelButton;
    QDialog::reject();
}

void TMessageWindow::closeEvent(QCloseEvent* Event)
{
    if (!CloseAllowed) {
        Event->ignore();
        return;
    }
    QDialog::closeEvent(Event);
}

void TMessageWindow::keyPressEvent(QKeyEvent* Event)
{
    // As in a classic dialog, a caption's accelerator letter works without Alt too.
    if (Event->modifiers() == Qt::NoModifier && !Event->text().isEmpty()) {
        for (QPushButton* button : ButtonWidgets) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
            if (!mnemonic.isEmpty() && mnemonic[0].key() == static_cast<Qt::Key>(Event->key()) &&
                button->isEnabled()) {
                button->click();
                return;
            }
        }
    }
    QDialog::keyPressEvent(Event);
}

void TMessageWindow::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    raise();
    activateWindow();
}

QWidget* ActiveParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

std::int32_t TMessageDialog::Execute()
{
    if (Buttons.Count() > MaxButtons)
        throw EMessageDialogError("Too many dialog buttons");
    if (DialogType < dtWarning || DialogType > dtPlain)
        throw EMessageDialogError("Invalid dialog type");

    auto window = std::make_unique<TMessageWindow>(*this, ActiveParent());
    QPointer<TMessageWindow> guard = window.get();
    window->exec();
    // The parent may have taken the window with it while it was shown.
    if (!guard) {
        (void)window.release();
        return -1;
    }
    return window->Answer;
}
