#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is caught here and shown
// with the standard error report, and the program goes on; a backstop behind Guarded.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& Argc, char** Argv);

    bool notify(QObject* Receiver, QEvent* Event) override;
};
