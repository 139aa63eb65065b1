#include "scan_ledger.h"

#include <utility>

void ScanLedger::AddFile(std::string pathUtf16, std::string printablePath) {
    Entry entry;
    entry.pathUtf16 = std::move(pathUtf16);
    entry.verdict.path = std::move(printablePath);
    waiting_.insert(firstSeq_ + entries_.size());
    entries_.push_back(std::move(entry));
}

void ScanLedger::AddSettled(FileVerdict verdict) {
    Entry entry;
    entry.settled = true;
    entry.verdict = std::move(verdict);
    entries_.push_back(std::move(entry));
}

size_t ScanLedger::Outstanding(int worker) const {
    const auto found = assigned_.find(worker);
    return found == assigned_.end() ? 0 : found->second.size();
}

ScanLedger::Entry* ScanLedger::Find(uint64_t seq) {
    if (seq < firstSeq_ || seq - firstSeq_ >= entries_.size()) return nullptr;
    return &entries_[static_cast<size_t>(seq - firstSeq_)];
}

bool ScanLedger::Assign(int worker, FileRequest* request) {
    if (waiting_.empty()) return false;
    const uint64_t seq = *waiting_.begin();
    waiting_.erase(waiting_.begin());
    assigned_[worker].push_back(seq);
    request->seq = seq;
    request->pathUtf16 = Find(seq)->pathUtf16;
    return true;
}

bool ScanLedger::Answer(int worker, const FileAnswer& answer) {
    const auto found = assigned_.find(worker);
    if (found == assigned_.end() || found->second.empty() || found->second.front() != answer.seq) {
        return false;
    }
    found->second.pop_front();
    Entry* entry = Find(answer.seq);
    std::string path = std::move(entry->verdict.path);
    entry->verdict = answer.verdict;
    entry->verdict.path = std::move(path);
    entry->verdict.crashed = false;
    entry->settled = true;
    entry->pathUtf16.clear();
    return true;
}

bool ScanLedger::Lose(int worker, const std::string& why, bool charge) {
    const auto found = assigned_.find(worker);
    if (found == assigned_.end()) return false;
    std::deque<uint64_t> files = std::move(found->second);
    assigned_.erase(found);
    if (!charge) {
        waiting_.insert(files.begin(), files.end());
        return false;
    }
    if (files.empty()) return false;
    Entry* charged = Find(files.front());
    charged->verdict.verdict = Verdict::kError;
    charged->verdict.error = why;
    charged->verdict.crashed = true;
    charged->settled = true;
    charged->pathUtf16.clear();
    files.pop_front();
    waiting_.insert(files.begin(), files.end());
    return true;
}

bool ScanLedger::TakeNext(FileVerdict* verdict) {
    if (entries_.empty() || !entries_.front().settled) return false;
    *verdict = std::move(entries_.front().verdict);
    entries_.pop_front();
    ++firstSeq_;
    return true;
}

std::vector<FileVerdict> ScanLedger::TakeSettled() {
    std::vector<FileVerdict> settled;
    for (Entry& entry : entries_) {
        if (entry.settled) settled.push_back(std::move(entry.verdict));
    }
    firstSeq_ += entries_.size();
    entries_.clear();
    waiting_.clear();
    assigned_.clear();
    return settled;
}
