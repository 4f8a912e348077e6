#pragma once

#include "run/FileOutcome.h"
#include "run/TextPreview.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class TLumiva;

// The Review window's reads, off the main thread: previews and files checked again, one at a
// time, with an engine of its own. Answers come back as queued calls on Receiver's thread and are
// dropped once Receiver is gone. A newer preview replaces one not yet started.
class TReviewWorker {
public:
    explicit TReviewWorker(QObject* Receiver);
    ~TReviewWorker();
    TReviewWorker(const TReviewWorker&) = delete;
    TReviewWorker& operator=(const TReviewWorker&) = delete;

    void Preview(std::string Source, std::string Encoding, std::optional<std::uint64_t> Mark,
                 std::function<void(TTextPreview&)> Done);
    void Recheck(std::string Source, std::string Encoding, const TConvertOptions& Options, const TConvertSpecs& Specs,
                 std::function<void(TFileOutcome&)> Done);

private:
    void Run();
    void Post(std::function<void()> Step);

    QPointer<QObject> Receiver;
    std::mutex Lock;
    std::condition_variable Wake;
    std::function<void(TLumiva&)> PendingPreview;
    std::deque<std::function<void(TLumiva&)>> Checks;
    // Also read by a check under way, which it ends.
    std::atomic<bool> Stopping{false};
    std::thread Thread;
};
