// The Review window with many rows: the memory it holds over an empty one, and how long the main
// thread is busy with each batch of rows while they arrive (the longest gap between two turns of
// the event loop is the longest the window stops answering). Run with QT_QPA_PLATFORM=offscreen.
//   review_bench [ROWS] [BATCH]

#include "run/FileOutcome.h"
#include "settings/ReviewLayout.h"
#include "ui/ReviewWindow.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

long RssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

std::vector<TFileOutcome> Batch(int First, int Count)
{
    std::vector<TFileOutcome> outcomes;
    for (int i = First; i < First + Count; ++i) {
        TFileOutcome outcome;
        outcome.Name = "folder" + std::to_string(i / 1000) + "/file" + std::to_string(i) + ".txt";
        outcome.Source = "/home/user/Documents/corpus/" + outcome.Name;
        outcome.Size = 1000 + static_cast<std::uint64_t>(i % 5000);
        outcome.Encoding = i % 10 == 0 ? "WINDOWS-1251" : "UTF-8";
        outcome.Guesses = {{outcome.Encoding, 0.93}, {"KOI8-R", 0.41}, {"ISO-8859-5", 0.12}};
        if (i % 20 == 0) {
            outcome.Kind = TOutcomeKind::InvalidBytes;
            outcome.Text = "Invalid byte sequence at line 12, column 40";
            outcome.Line = 12;
            outcome.Column = 40;
            outcome.Offset = 531;
        } else {
            outcome.Kind = TOutcomeKind::Ok;
            outcome.Text = "OK";
        }
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::stoi(argv[1]) : 100000;
    const int batch = argc > 2 ? std::stoi(argv[2]) : 1024;
    TReviewLayout layout;
    // Deletes itself when closed, as it does in the program.
    QPointer<TReviewWindow> window = new TReviewWindow(layout);
    window->show();
    long before = 0;
    int added = 0;
    std::vector<double> gaps;
    auto taken = std::chrono::steady_clock::now();
    const auto start = taken;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        if (added == 0) {
            before = RssKiB();
        } else {
            // The rows taken in, then whatever the event loop did before coming back (layout, paint).
            gaps.push_back(std::chrono::duration<double, std::milli>(now - taken).count());
        }
        if (added >= rows) {
            timer.stop();
            const double total = std::chrono::duration<double>(now - start).count();
            const long after = RssKiB();
            std::sort(gaps.begin(), gaps.end());
            std::printf("rows %d, batch %d\n", rows, batch);
            std::printf("fill time %.2f s (batches made here included)\n", total);
            std::printf("main thread busy per batch (rows added, then layout and paint): median %.1f ms, max %.1f ms\n", gaps[gaps.size() / 2], gaps.back());
            std::printf("resident memory: empty window %.1f MiB, with rows %.1f MiB, difference %.1f MiB\n",
                        before / 1024.0, after / 1024.0, (after - before) / 1024.0);
            QApplication::quit();
            return;
        }
        std::vector<TFileOutcome> outcomes = Batch(added, std::min(batch, rows - added));
        added += static_cast<int>(outcomes.size());
        taken = std::chrono::steady_clock::now();
        window->AddOutcomes(outcomes);
    });
    timer.start();
    const int status = QApplication::exec();
    delete window.data();
    return status;
}
