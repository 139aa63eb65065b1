#pragma once
// The book of a scan spread over worker processes: every entry the walk found, in walk
// order; which files wait, which worker has which, and which verdicts are in. Lines are
// let out strictly in walk order, whatever order the workers answer in.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "assay_report.h"
#include "worker_protocol.h"

class ScanLedger {
public:
    // A file for the workers: its path as sent (UTF-16LE bytes) and as printed.
    void AddFile(std::string pathUtf16, std::string printablePath);
    // An entry that is settled already (a path the walk could not open).
    void AddSettled(FileVerdict verdict);

    // Entries added and not yet taken.
    size_t Unprinted() const { return entries_.size(); }
    // Files that no worker has yet.
    size_t Waiting() const { return waiting_.size(); }
    // Files handed to `worker` and not yet answered, oldest first.
    size_t Outstanding(int worker) const;

    // Hands the oldest waiting file to `worker`; false when none waits.
    bool Assign(int worker, FileRequest* request);
    // A verdict from `worker`, which answers its files in the order it got them. False,
    // changing nothing, when the worker has no file or the answer names another one.
    bool Answer(int worker, const FileAnswer& answer);
    // `worker` is gone. Its oldest file, the one it was on, is settled as an error with
    // `why`, marked as a crash: it is never tried again. Later files were never started;
    // they wait again, ahead of every file not yet handed out. With `charge` false (the
    // worker never got its files) they all wait again. False when no file was settled.
    bool Lose(int worker, const std::string& why, bool charge = true);

    // The next entry in walk order, once it is settled.
    bool TakeNext(FileVerdict* verdict);
    // After an interruption: the settled entries in walk order, the others dropped.
    std::vector<FileVerdict> TakeSettled();

private:
    struct Entry {
        bool settled = false;
        std::string pathUtf16;
        FileVerdict verdict;  // its path is set from the start
    };

    Entry* Find(uint64_t seq);

    std::deque<Entry> entries_;
    uint64_t firstSeq_ = 0;  // the sequence number of entries_.front()
    std::set<uint64_t> waiting_;
    std::map<int, std::deque<uint64_t>> assigned_;
};
