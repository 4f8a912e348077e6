#include "ui/ProgressDialog.h"

#include "progress/RunProgress.h"
#include "ui/MessageBox.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A quarter of the average character width of the font, the unit of the layout's widths.
int HorizontalUnits(const QFontMetrics& Metrics, int Units)
{
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (Metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return (Units * baseX + 2) / 4;
}

} // namespace

TProgressDialog::TProgressDialog(QWidget* Parent) : QDialog(Parent)
{
    setObjectName(QStringLiteral("ProgressDialog"));
    setWindowTitle(QStringLiteral("Progress"));
    // A title bar without buttons: the user cannot close the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    const QFontMetrics metrics(font());
    const int margin = HorizontalUnits(metrics, 5);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Fixed size: a long status text is cut, it does not reshape the window.
    Label1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    Label1->setMinimumWidth(HorizontalUnits(metrics, 176));
    const int rowHeight = metrics.height() * 3 / 2 + 2;
    Label1->setFixedHeight(rowHeight);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedHeight(std::max(ProgressBar1->sizeHint().height(), rowHeight));

    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button1->setMinimumWidth(std::max(Button1->sizeHint().width(), HorizontalUnits(metrics, 56)));
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(margin);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    layout->addSpacing(margin / 2);
    layout->addLayout(buttons);

    // The button first in tab order, as designed.
    setTabOrder(Button1, ProgressBar1);
}

void TProgressDialog::SetMessage(const std::string& Text)
{
    Label1->setText(ToDisplayText(Text));
}

void TProgressDialog::SetPosition(int Value)
{
    ProgressBar1->setValue(std::clamp(Value, 0, 100));
}

void TProgressDialog::SetButtonCaption(const std::string& Text)
{
    Button1->setText(QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size())));
}

int TProgressDialog::Percentage(std::int32_t Position, std::int32_t Max) noexcept
{
    return RunPercentage(TRunProgress{.Position = Position, .Max = Max});
}

void TProgressDialog::SetProgress(std::int32_t Position, std::int32_t Max)
{
    SetPosition(Percentage(Position, Max));
}

void TProgressDialog::ExecuteModal()
{
    Running = true;
    exec();
}

void TProgressDialog::Finish()
{
    Running = false;
    done(QDialog::Accepted);
}

void TProgressDialog::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    Button1->setFocus(Qt::OtherFocusReason);
    raise();
    activateWindow();
    // The run must not wait for an activation that some platforms never send.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            FormActivate();
    });
}

void TProgressDialog::changeEvent(QEvent* Event)
{
    QDialog::changeEvent(Event);
    if (Event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TProgressDialog::closeEvent(QCloseEvent* Event)
{
    // A close from the user (close command, Alt+F4) carries the cancel result: always refused.
    // Finish closes through done().
    Event->ignore();
}

void TProgressDialog::keyPressEvent(QKeyEvent* Event)
{
    // Esc presses the button; it never closes the dialog.
    if (Event->matches(QKeySequence::Cancel)) {
        Button1Click();
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TProgressDialog::reject()
{
    Button1Click();
}

void TProgressDialog::done(int Result)
{
    if (Running || Result == QDialog::Rejected)
        return;
    QDialog::done(Result);
}

void TProgressDialog::FormActivate()
{
    if (OnExecute)
        Guarded([this] { OnExecute(this); }, this);
}

void TProgressDialog::Button1Click()
{
    if (OnCommand)
        Guarded([this] { OnCommand(this); }, this);
}
