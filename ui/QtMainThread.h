#pragma once

#include "run/MainThread.h"

class QObject;

// The main thread of a Qt program: steps run in the event loop of Context's thread.
class TQtMainThread : public TMainThread {
public:
    // Context null: the application object, when there is one.
    explicit TQtMainThread(QObject* Context);

    bool Run(const std::function<void()>& Step) override;

private:
    QObject* Context;
};
