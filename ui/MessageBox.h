#pragma once

#include <QString>

#include <cstdint>
#include <string>

class QWidget;

// The application title, "Lumiva".
QString ApplicationTitle();

// A text in the locale's character set for a label: CR LF and lone CR become line feeds.
QString ToDisplayText(const std::string& Text);

// A message box from classic MB_* flags (buttons, icon), raised and activated; returns ID* values.
// An empty caption means the application title; a null parent means the active modal widget or,
// without one, the active window.
std::int32_t ShowMessageBox(const std::string& Text, std::uint32_t Flags, const QString& Caption = {},
                            QWidget* Parent = nullptr);

// The standard error report: message box with the application title, error icon and OK; a full
// stop is appended when the last character sorts after ".".
void ShowErrorReport(const std::string& Message, QWidget* Parent = nullptr);
std::string ErrorReportText(const std::string& Message);

// Runs Body; whatever escapes goes to the standard error report. Every slot and event handler
// runs its body through this, so no exception reaches Qt.
template <class TBody>
void Guarded(TBody&& Body, QWidget* Parent = nullptr);
void ReportCurrentException(QWidget* Parent);

template <class TBody>
void Guarded(TBody&& Body, QWidget* Parent)
{
    try {
        Body();
    } catch (...) {
        ReportCurrentException(Parent);
    }
}
