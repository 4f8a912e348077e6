#include "ui/ReviewWorker.h"

#include "engine/Lumiva.h"
#include "run/FileRecheck.h"

#include <QMetaObject>

TReviewWorker::TReviewWorker(QObject* Receiver) : Receiver(Receiver), Thread([this] { Run(); }) {}

TReviewWorker::~TReviewWorker()
{
    {
        const std::lock_guard<std::mutex> guard(Lock);
        Stopping.store(true);
    }
    Wake.notify_all();
    Thread.join();
}

void TReviewWorker::Post(std::function<void()> Step)
{
    // The receiver is only read here; Qt drops the call when it is gone by then.
    QObject* receiver = Receiver.data();
    if (receiver)
        QMetaObject::invokeMethod(receiver, std::move(Step), Qt::QueuedConnection);
}

void TReviewWorker::Preview(std::string Source, std::string Encoding, std::optional<std::uint64_t> Mark,
                            std::function<void(TTextPreview&)> Done)
{
    {
        const std::lock_guard<std::mutex> guard(Lock);
        PendingPreview = [this, Source = std::move(Source), Encoding = std::move(Encoding), Mark,
                          Done = std::move(Done)](TLumiva& Converter) {
            auto preview = std::make_shared<TTextPreview>(TTextPreview::Read(Converter, Source, Encoding, Mark));
            Post([Done, preview] { Done(*preview); });
        };
    }
    Wake.notify_all();
}

void TReviewWorker::Recheck(std::string Source, std::string Encoding, const TConvertOptions& Options,
                            const TConvertSpecs& Specs, std::function<void(TFileOutcome&)> Done)
{
    {
        const std::lock_guard<std::mutex> guard(Lock);
        Checks.push_back([this, Source = std::move(Source), Encoding = std::move(Encoding), Options, Specs,
                          Done = std::move(Done)](TLumiva& Converter) {
            // Closing the window does not wait for the check of a large file to end.
            auto outcome = std::make_shared<TFileOutcome>(
                RecheckFile(Converter, Source, Encoding, Options, Specs, [this] { return Stopping.load(); }));
            Post([Done, outcome] { Done(*outcome); });
        });
    }
    Wake.notify_all();
}

void TReviewWorker::Run()
{
    std::unique_ptr<TLumiva> converter;
    for (;;) {
        std::function<void(TLumiva&)> step;
        {
            std::unique_lock<std::mutex> guard(Lock);
            Wake.wait(guard, [this] { return Stopping.load() || PendingPreview || !Checks.empty(); });
            if (Stopping.load())
                return;
            // A changed encoding goes before the preview, which then shows the new reading.
            if (!Checks.empty()) {
                step = std::move(Checks.front());
                Checks.pop_front();
            } else {
                step = std::move(PendingPreview);
                PendingPreview = nullptr;
            }
        }
        try {
            if (!converter)
                converter = std::make_unique<TLumiva>();
            step(*converter);
        } catch (...) {
            // Without a converter nothing can be shown; the rows keep what the run found.
        }
    }
}
