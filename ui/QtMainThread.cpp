#include "ui/QtMainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>

TQtMainThread::TQtMainThread(QObject* Context) : Context(Context ? Context : QCoreApplication::instance()) {}

bool TQtMainThread::Run(const std::function<void()>& Step)
{
    if (!Context)
        return false;
    if (QThread::currentThread() == Context->thread()) {
        Step();
        return true;
    }
    std::exception_ptr failure;
    const bool delivered = QMetaObject::invokeMethod(
        Context,
        [&Step, &failure] {
            try {
                Step();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
    return delivered;
}
