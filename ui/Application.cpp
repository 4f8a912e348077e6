#include "ui/Application.h"

#include "ui/MessageBox.h"

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ReportCurrentException(nullptr);
        return false;
    }
}
