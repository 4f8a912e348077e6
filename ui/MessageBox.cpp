#include "ui/MessageBox.h"

#include "util/MessageBoxFlags.h"
#include "util/Mysysutils.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <exception>

namespace {

// Button sets and answers beyond the ones the program's callers use, so any classic flag value
// gets a sensible box.
constexpr std::uint32_t MB_ABORTRETRYIGNORE = 0x2;
constexpr std::uint32_t MB_YESNOCANCEL = 0x3;
constexpr std::uint32_t MB_RETRYCANCEL = 0x5;
constexpr std::int32_t IDABORT = 3;
constexpr std::int32_t IDRETRY = 4;
constexpr std::int32_t IDIGNORE = 5;

QMessageBox::StandardButtons ButtonsOf(std::uint32_t Flags)
{
    switch (Flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_ABORTRETRYIGNORE:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

// The first button of each set is the default, as with the classic boxes.
QMessageBox::StandardButton FirstButtonOf(std::uint32_t Flags)
{
    switch (Flags & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE:
        return QMessageBox::Abort;
    case MB_YESNOCANCEL:
    case MB_YESNO:
        return QMessageBox::Yes;
    case MB_RETRYCANCEL:
        return QMessageBox::Retry;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(std::uint32_t Flags)
{
    switch (Flags & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

std::int32_t AnswerOf(QMessageBox::StandardButton Button)
{
    switch (Button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Abort:
        return IDABORT;
    case QMessageBox::Retry:
        return IDRETRY;
    case QMessageBox::Ignore:
        return IDIGNORE;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return 0;
    }
}

// Comes to the front when shown, like a box with MB_SETFOREGROUND.
class TForegroundMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* Event) override
    {
        QMessageBox::showEvent(Event);
        raise();
        activateWindow();
    }
};

QWidget* DefaultParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

QString ApplicationTitle()
{
    return QStringLiteral("Lumiva");
}

QString ToDisplayText(const std::string& Text)
{
    QString text = QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

std::int32_t ShowMessageBox(const std::string& Text, std::uint32_t Flags, const QString& Caption,
                            QWidget* Parent)
{
    QPointer<QMessageBox> box =
        new TForegroundMessageBox(IconOf(Flags), Caption.isEmpty() ? ApplicationTitle() : Caption,
                        ToDisplayText(Text), ButtonsOf(Flags), Parent ? Parent : DefaultParent());
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(FirstButtonOf(Flags));
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    // The parent may have taken the box with it while it was shown.
    if (!box)
        return 0;
    const std::int32_t answer = AnswerOf(box->standardButton(box->clickedButton()));
    delete box;
    return answer;
}

std::string ErrorReportText(const std::string& Message)
{
    return WithFullStop(Message);
}

void ShowErrorReport(const std::string& Message, QWidget* Parent)
{
    ShowMessageBox(ErrorReportText(Message), MB_OK | MB_ICONERROR | MB_SETFOREGROUND, ApplicationTitle(),
                   Parent);
}

void ReportCurrentException(QWidget* Parent)
{
    // The report itself must not throw: it runs where nothing else would catch.
    try {
        const std::exception_ptr current = std::current_exception();
        if (!current)
            return;
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& E) {
            ShowErrorReport(E.what(), Parent);
        } catch (...) {
            ShowErrorReport(std::string(), Parent);
        }
    } catch (...) {
    }
}
