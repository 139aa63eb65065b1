#include "parallel_scan_win.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "file_walk_win.h"
#include "interruption_win.h"
#include "scan_file_win.h"
#include "scan_ledger.h"
#include "scan_output_win.h"
#include "text_win.h"
#include "worker_process_win.h"
#include "worker_protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

// Files a worker holds at once: while it scans one, the next are already in its pipe.
// A worker is topped up once it is down to half of them, in one write, so that the
// parent and the worker each make one call to the pipe for several files.
constexpr size_t kFilesPerWorker = 4;
constexpr size_t kTopUpBelow = kFilesPerWorker / 2 + 1;
// Entries walked ahead of the first line not yet printed. A file that hangs holds the
// lines after it back until its worker is ended; the walk waits for it here.
constexpr size_t kWalkAhead = 4096;
// A worker must be ready within this time, or the file time limit if that is longer.
constexpr auto kStartLimit = std::chrono::seconds(60);
// How long the end of the workers is waited for before this process ends.
constexpr DWORD kEndWaitMilliseconds = 5000;

std::string Utf16Bytes(const std::wstring& wide) {
    std::string bytes(wide.size() * 2, '\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>((wide[i] >> 8) & 0xFF);
    }
    return bytes;
}

std::string ExitText(DWORD code) {
    char text[96];
    if (code == STILL_ACTIVE) {
        std::snprintf(text, sizeof(text), "analyser crashed: its worker closed the pipe");
    } else if (code >= 0xC0000000u) {
        // A process that an exception ends exits with the exception's code.
        std::snprintf(text, sizeof(text), "analyser crashed: exception 0x%08lX",
                      static_cast<unsigned long>(code));
    } else {
        std::snprintf(text, sizeof(text), "analyser crashed: its worker ended with status %lu",
                      static_cast<unsigned long>(code));
    }
    return text;
}

class ParallelScan {
public:
    ParallelScan(const AssayOptions& options, int jobs)
        : options_(options), output_(options), slots_(static_cast<size_t>(jobs)) {
        fileLimit_ = std::chrono::seconds(options.fileTimeoutSeconds);
        startLimit_ = fileLimit_ > kStartLimit
                          ? std::chrono::duration_cast<Clock::duration>(fileLimit_)
                          : std::chrono::duration_cast<Clock::duration>(kStartLimit);
        if (!options.configPath.empty()) {
            workerArguments_.push_back(L"--config");
            workerArguments_.push_back(WideFromUtf8(options.configPath));
        }
        for (const std::string& file : options.signatureFiles) {
            workerArguments_.push_back(L"--signatures");
            workerArguments_.push_back(WideFromUtf8(file));
        }
    }

    int Run() {
        if (!output_.LogError().empty()) {
            std::fprintf(stderr, "assay: %s\n", output_.LogError().c_str());
            return kExitUsage;
        }
        const Clock::time_point start = Clock::now();
        program_ = ProgramPath();
        WatchForInterruption();
        while (fatal_ == 0) {
            WalkAhead();
            Dispatch();
            StartWorkers();
            PrintSettled();
            if (fatal_ != 0) break;
            if (walkDone_ && ledger_.Unprinted() == 0 && helloSeen_) break;
            if (!WaitAndHandle()) break;  // interrupted
            CheckDeadlines();
        }
        StopWorkers();
        if (fatal_ != 0) {
            std::fflush(stdout);
            return fatal_;
        }
        const bool interrupted = Interrupted();
        if (interrupted) {
            for (const FileVerdict& verdict : ledger_.TakeSettled()) output_.Report(verdict);
        }
        return output_.Finish(std::chrono::duration<double>(Clock::now() - start).count(),
                              interrupted);
    }

private:
    struct Slot {
        std::unique_ptr<WorkerProcess> worker;
        FrameReader reader;
        bool ready = false;
        // When the worker last showed progress: started, ready, answered, or got a file
        // while it had none.
        Clock::time_point since;
    };

    std::string Printable(const std::wstring& path) const {
        return NarrowFromWide(path, options_.json ? CP_UTF8 : CP_ACP);
    }

    void WalkAhead() {
        while (!walkDone_ && ledger_.Unprinted() < kWalkAhead && !Interrupted()) {
            if (!walk_) {
                if (nextPath_ == options_.paths.size()) {
                    walkDone_ = true;
                    return;
                }
                walk_.reset(new FileWalk(WideFromUtf8(options_.paths[nextPath_++])));
            }
            WalkEntry entry;
            if (!walk_->Next(&entry)) {
                walk_.reset();
                continue;
            }
            if (entry.failed) {
                FileVerdict verdict;
                verdict.verdict = Verdict::kError;
                verdict.path = Printable(entry.path);
                verdict.error = entry.why;
                ledger_.AddSettled(std::move(verdict));
            } else {
                ledger_.AddFile(Utf16Bytes(entry.path), Printable(entry.path));
            }
        }
    }

    void Dispatch() {
        size_t live = 0;
        for (const Slot& slot : slots_) {
            if (slot.worker) ++live;
        }
        for (size_t i = 0; i < slots_.size(); ++i) {
            Slot& slot = slots_[i];
            if (!slot.worker || !slot.ready) continue;
            const size_t held = ledger_.Outstanding(Id(i));
            if (held >= kTopUpBelow) continue;
            // Near the end of the walk the last files are shared out, so that no worker
            // sits idle while another still holds several.
            const size_t share = (ledger_.Waiting() + live - 1) / live;
            const size_t wanted = held + (share < 1 ? 1 : share);
            const size_t limit = wanted < kFilesPerWorker ? wanted : kFilesPerWorker;
            std::string frames;
            FileRequest request;
            while (ledger_.Outstanding(Id(i)) < limit && ledger_.Assign(Id(i), &request)) {
                frames += EncodeFileRequest(request);
            }
            if (frames.empty()) continue;
            if (held == 0) slot.since = Clock::now();
            const DWORD patience = static_cast<DWORD>(options_.fileTimeoutSeconds) * 1000;
            if (!slot.worker->Send(frames, patience)) {
                // Gone, or stuck, before it took these files; it was on its oldest one.
                const DWORD code = slot.worker->ExitCode(0);
                Lose(i, code == STILL_ACTIVE ? HungText() : ExitText(code), held > 0);
            }
        }
    }

    // A worker is started while more files wait than workers are starting up; and one
    // always, so that a bad configuration is reported even for an empty walk.
    void StartWorkers() {
        size_t starting = 0;
        for (const Slot& slot : slots_) {
            if (slot.worker && !slot.ready) ++starting;
        }
        for (size_t i = 0; i < slots_.size() && fatal_ == 0; ++i) {
            if (slots_[i].worker) continue;
            if (everStarted_ && ledger_.Waiting() <= starting) return;
            Slot& slot = slots_[i];
            slot = Slot();
            slot.worker.reset(new WorkerProcess());
            std::string why;
            if (!slot.worker->Start(program_, workerArguments_, environment_, &why)) {
                Fail(why, helloSeen_ ? kExitCrashed : kExitUsage);
                return;
            }
            slot.since = Clock::now();
            everStarted_ = true;
            ++starting;
        }
    }

    void PrintSettled() {
        FileVerdict verdict;
        while (ledger_.TakeNext(&verdict)) output_.Report(verdict);
    }

    // Waits for an answer, the end of a worker, a deadline or an interruption. False
    // when interrupted.
    bool WaitAndHandle() {
        std::vector<HANDLE> handles;
        std::vector<size_t> owners;
        if (InterruptionEvent() != nullptr) {
            handles.push_back(InterruptionEvent());
            owners.push_back(slots_.size());
        }
        Clock::duration wait = std::chrono::seconds(1);
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < slots_.size(); ++i) {
            const Slot& slot = slots_[i];
            if (!slot.worker) continue;
            handles.push_back(slot.worker->readable());
            owners.push_back(i);
            if (!slot.ready || ledger_.Outstanding(Id(i)) > 0) {
                const Clock::duration left = slot.since + Limit(slot) - now;
                if (left < wait) wait = left;
            }
        }
        if (handles.empty()) return true;  // nothing to wait for; the loop starts a worker
        if (wait < Clock::duration::zero()) wait = Clock::duration::zero();
        const DWORD milliseconds = static_cast<DWORD>(
            std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1);
        const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                  handles.data(), FALSE, milliseconds);
        if (Interrupted()) return false;
        if (woke >= WAIT_OBJECT_0 + handles.size()) return true;  // a deadline
        // Every worker that has something is served, not only the first one signalled.
        for (size_t k = 0; k < handles.size() && fatal_ == 0; ++k) {
            if (owners[k] == slots_.size()) continue;
            if (k != woke - WAIT_OBJECT_0 && !slots_[owners[k]].worker->HasNews()) continue;
            Serve(owners[k]);
        }
        return true;
    }

    void Serve(size_t index) {
        Slot& slot = slots_[index];
        const bool open = slot.worker->Collect(&slot.reader);
        Frame frame;
        FrameReader::Status status;
        while ((status = slot.reader.Next(&frame)) == FrameReader::Status::kFrame) {
            switch (frame.type) {
                case FrameType::kHello:
                    if (slot.ready) return Lose(index, "analyser crashed: a garbled answer");
                    if (!Greet(slot, frame.hello)) return;
                    break;
                case FrameType::kVerdict:
                    if (!slot.ready || !ledger_.Answer(Id(index), frame.answer)) {
                        return Lose(index, "analyser crashed: a garbled answer");
                    }
                    slot.since = Clock::now();
                    break;
                case FrameType::kCrash: {
                    char why[64];
                    std::snprintf(why, sizeof(why), "analyser crashed: exception 0x%08lX",
                                  static_cast<unsigned long>(frame.crash.code));
                    return Lose(index, why);
                }
                case FrameType::kFile:
                    return Lose(index, "analyser crashed: a garbled answer");
            }
        }
        if (status == FrameReader::Status::kBroken) {
            return Lose(index, "analyser crashed: a garbled answer");
        }
        if (!open) Lose(index, ExitText(slot.worker->ExitCode(kEndWaitMilliseconds)));
    }

    // The first worker to get ready says what the signature databases gave; a worker
    // that cannot get ready stops the scan, as it would in a single process.
    bool Greet(Slot& slot, const WorkerHello& hello) {
        if (!helloSeen_) {
            helloSeen_ = true;
            if (!ReportPreparation(hello, options_)) {
                fatal_ = kExitUsage;
                return false;
            }
        } else if (!hello.ready) {
            const std::string why = !hello.signatures.empty() && hello.signatures.back().added < 0
                                        ? "--signatures: " + hello.signatures.back().message
                                        : hello.why;
            std::fprintf(stderr, "assay: %s\n", why.c_str());
            fatal_ = kExitUsage;
            return false;
        }
        slot.ready = true;
        slot.since = Clock::now();
        return true;
    }

    // The worker in `index` is ended and its slot emptied. Its file is charged with `why`
    // when `charge`; a worker lost before it was ready stops the scan instead, since the
    // next one would fare no better.
    void Lose(size_t index, const std::string& why, bool charge = true) {
        Slot& slot = slots_[index];
        const bool ready = slot.ready;
        slot.worker->Terminate();
        ledger_.Lose(Id(index), why, charge);
        slot = Slot();
        if (!ready) Fail("a worker failed while starting: " + why, kExitCrashed);
    }

    // Stops the scan: what was printed stays, nothing more is.
    void Fail(const std::string& why, int status) {
        std::fprintf(stderr, "assay: %s\n", why.c_str());
        fatal_ = status;
    }

    std::string HungText() const {
        return "analyser hung: no verdict within " + std::to_string(options_.fileTimeoutSeconds) +
               " s";
    }

    Clock::duration Limit(const Slot& slot) const {
        return slot.ready ? std::chrono::duration_cast<Clock::duration>(fileLimit_) : startLimit_;
    }

    void CheckDeadlines() {
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < slots_.size() && fatal_ == 0; ++i) {
            Slot& slot = slots_[i];
            if (!slot.worker) continue;
            if (slot.ready && ledger_.Outstanding(Id(i)) == 0) continue;
            if (now - slot.since < Limit(slot)) continue;
            if (!slot.ready) {
                slot.worker->Terminate();
                slot = Slot();
                Fail("a worker did not get ready in time", kExitCrashed);
                return;
            }
            Lose(i, HungText());
        }
    }

    // Ends every worker and waits for them to be gone, so that none outlives the scan.
    void StopWorkers() {
        std::vector<HANDLE> processes;
        for (Slot& slot : slots_) {
            if (!slot.worker) continue;
            slot.worker->Terminate();
            if (slot.worker->process() != nullptr) processes.push_back(slot.worker->process());
        }
        if (!processes.empty()) {
            WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), TRUE,
                                   kEndWaitMilliseconds);
        }
        for (Slot& slot : slots_) slot = Slot();
    }

    static int Id(size_t index) { return static_cast<int>(index); }

    const AssayOptions& options_;
    ScanOutput output_;
    ScanLedger ledger_;
    WorkerEnvironment environment_;
    std::vector<Slot> slots_;
    std::vector<std::wstring> workerArguments_;
    std::wstring program_;
    std::chrono::seconds fileLimit_{60};
    Clock::duration startLimit_{};
    std::unique_ptr<FileWalk> walk_;
    size_t nextPath_ = 0;
    bool walkDone_ = false;
    bool everStarted_ = false;
    bool helloSeen_ = false;
    int fatal_ = 0;
};

}  // namespace

int RunParallelScan(const AssayOptions& options, int jobs) {
    ParallelScan scan(options, jobs);
    return scan.Run();
}
