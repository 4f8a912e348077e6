#pragma once

#include "folders/FolderWalker.h"
#include "run/ExpandedFiles.h"
#include "run/ReplacedFiles.h"
#include "util/StringList.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <mutex>
#include <utility>
#include <vector>

class TFolderRun;
class TLogger;

// The files of one parallel run, shared by its jobs (each a run of its own on its own thread).
// The first job expands the names into the queue, and the files go over to the others as they are
// found, in order, while it goes on. Each job then takes the next file in order until none is left,
// so a folder's files spread over the jobs as they come free. A file that writes to the same file as
// one still in another job's hands waits for it: a file named twice meets the record of replaced files
// (shared by the jobs), or the overwrite question, as in a run of one job; and when found files are
// mirrored, a file waits for the first file of its folder and of the folders above, which makes and
// logs the missing folders as one job would. Where each file's lines are in its job's log is kept,
// so that the logs can be joined in file order. Any thread may use it.
class TFileQueue {
public:
    // No job, or no file.
    static constexpr std::size_t NoIndex = std::numeric_limits<std::size_t>::max();

    // Where one file's lines are in the log of the job that took it.
    struct TMark {
        std::size_t Job = NoIndex; // never taken
        std::size_t First = 0;
        std::size_t End = 0;
    };

    // One job's turns at the queue, its files one after another; the file in hand is finished
    // when the next is taken and when the turns end, also by an exception. Without a queue the
    // turns go through Count files in order.
    class TTurns {
    public:
        // WrittenFile names what a file writes to, by one or more keys (see Take).
        TTurns(TFileQueue* Queue, std::size_t Job, const TLogger& Logger, std::size_t Count,
               std::function<std::vector<std::string>(std::size_t Index)> WrittenFile = {});
        ~TTurns();
        TTurns(const TTurns&) = delete;
        TTurns& operator=(const TTurns&) = delete;
        // The index of the next file; NoIndex when none is left.
        std::size_t Next();

    private:
        TFileQueue* Queue;
        std::size_t Job;
        const TLogger& Logger;
        std::size_t Count;
        std::size_t InHand;
        std::function<std::vector<std::string>(std::size_t Index)> WrittenFile;
    };

    // SameFileWaits: files that write to one file are never converted at once, and the later
    // waits for the earlier (a run that writes); FolderWaits: found files are mirrored into
    // folders made as they are needed.
    TFileQueue(bool SameFileWaits, bool FolderWaits);

    // For one job, in place of FolderRun.Expand(Files): job 0 expands Files into the queue (the
    // names of files moved out), and the files go over to the other jobs as they are found once
    // Ready has said yes (asked before the first of them goes; after a no they wait for Open).
    // The others wait until the first files are there (false, with nothing taken, when the queue
    // was aborted before) and read them from the queue. Each takes the shared record into Replaced.
    bool Expand(std::size_t Job, TFolderRun& FolderRun, TStringList& Files, TReplacedFiles& Replaced,
                const std::function<bool()>& Ready);
    // Job 0 has expanded the names and prepared the run (its output folder made): every file is
    // there, and the jobs that find none left end. IsOpened: whether Open came.
    void Open();
    bool IsOpened() const;
    // The files found so far.
    std::size_t Count() const noexcept { return Expanded.Count(); }
    // A file that a job took.
    const TInputFile& File(std::size_t Index) const noexcept { return Expanded[Index]; }
    // Files finished so far.
    std::size_t Finished() const;
    // No file is taken any more; a job waiting for a file stops waiting.
    void Abort();

    // Once every job has ended: the marks of every file, in file order.
    std::vector<TMark> Marks() const;

    // Shared by the jobs of the run.
    TReplacedFiles Replaced;

private:
    // Job 0, as it expands: More goes to the end of the files, and over to the others once Ready.
    void Show(std::vector<TInputFile>& More, const std::function<bool()>& Ready);
    // Under the lock: every file found is there for the jobs.
    void ShowLocked();
    // Finishes file InHand (NoIndex: none) and takes the next, in one turn at the lock.
    // WrittenFile(Index) is asked before the lock for the file that is next then, and under it
    // only when another job took that file meanwhile.
    std::size_t Take(std::size_t Job, std::size_t InHand, std::size_t LogLines,
                     const std::function<std::vector<std::string>(std::size_t Index)>& WrittenFile);
    // The hashes of what file Index writes to.
    std::vector<std::size_t> WrittenKeys(std::size_t Index,
                                         const std::function<std::vector<std::string>(std::size_t Index)>& WrittenFile) const;
    // The earlier files, not done yet, that file Index waits for, and the marks it leaves for later ones.
    void WaitsOf(std::size_t Index, const std::vector<std::size_t>& Keys, std::vector<std::size_t>& Before);
    void Finish(std::size_t Index, std::size_t LogLines);
    // Under the lock.
    void FinishLocked(std::size_t Index, std::size_t LogLines);
    // The slot of Key in LastOfFile, made when missing.
    std::pair<std::size_t, std::size_t>& LastOf(std::size_t Key);

    mutable std::mutex Lock;
    std::condition_variable Changed;
    bool SameFileWaits;
    bool FolderWaits;
    // Files are there for the other jobs; every file is.
    bool IsOpen = false;
    bool Complete = false;
    bool Aborted = false;
    // Complete or Aborted, for a look without the lock.
    std::atomic<bool> Settled{false};
    // Whether Ready was asked, and said no.
    bool ReadyAsked = false;
    bool NotReady = false;
    TExpandedFiles Expanded;
    std::vector<TMark> FileMarks;
    std::vector<bool> Done;
    // The last file taken that writes to each file, by the hash of its keys: two files whose keys
    // collide only take turns, which is never wrong. An open table (key, file + 1; 0 for none),
    // at most half full: a look-up is one miss of the cache where a map of nodes walked several,
    // under the lock that every job takes for every file.
    std::vector<std::pair<std::size_t, std::size_t>> LastOfFile;
    std::size_t KeysKept = 0;
    // The first file taken in each folder of the found paths.
    std::map<std::string, std::size_t> FirstInFolder;
    // Changed under the lock; read before it to guess the file that comes next.
    std::atomic<std::size_t> Next{0};
    std::size_t FinishedCount = 0;
};
