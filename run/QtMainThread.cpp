#include "run/QtMainThread.h"

#include "run/ConvertThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>
#include <memory>

TQtMainThread::TQtMainThread(QObject* Context) : Context(Context ? Context : QCoreApplication::instance()) {}

bool TQtMainThread::Run(const std::function<void()>& Step)
{
    if (!Context)
        return false;
    if (QThread::currentThread() == Context->thread()) {
        Step();
        return true;
    }
    std::exception_ptr Failure;
    const bool Delivered = QMetaObject::invokeMethod(
        Context,
        [&Step, &Failure] {
            try {
                Step();
            } catch (...) {
                Failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (Failure)
        std::rethrow_exception(Failure);
    return Delivered;
}

// Here rather than beside the other constructor, so that a program that passes its own main
// thread links no Qt.
TConvertThread::TConvertThread(const TStringList& Files, TLumiva* Converter, const TConvertOptions& Options,
                               const TConvertSpecs& Specs, TRunQuestions& Questions, QObject* MainContext,
                               const TFolderOptions& FolderOptions)
    : TConvertThread(std::make_unique<TQtMainThread>(MainContext), Files, Converter, Options, Specs, Questions,
                     FolderOptions)
{
}
