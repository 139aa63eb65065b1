#pragma once
// One worker of a parallel scan as its parent sees it: the process (assay.exe again, in
// worker mode) and the pipe to it. The parent writes requests and reads answers
// overlapped, so that one thread can wait on all its workers at once.
#include <windows.h>

#include <string>
#include <vector>

#include "win32/handles.h"
#include "worker_protocol.h"

// What every worker shares: the job that ends them all when the parent ends, however it
// ends, and the standard handles they are given.
class WorkerEnvironment {
public:
    WorkerEnvironment();
    WorkerEnvironment(const WorkerEnvironment&) = delete;
    WorkerEnvironment& operator=(const WorkerEnvironment&) = delete;

    HANDLE job() const { return job_.get(); }        // null when jobs are unavailable
    HANDLE nul() const { return nul_.get(); }        // standard input and output
    HANDLE errors() const { return errors_.get(); }  // the parent's stderr

private:
    UniqueHandle job_;
    UniqueFile nul_;
    UniqueHandle errors_;
};

class WorkerProcess {
public:
    WorkerProcess() = default;
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;
    ~WorkerProcess() { Terminate(); }

    // Starts `program` with "--worker HANDLE" and `arguments`; false with a reason.
    bool Start(const std::wstring& program, const std::vector<std::wstring>& arguments,
               const WorkerEnvironment& environment, std::string* why);

    // Writes frames; false when the worker is gone, or has not taken them within
    // `milliseconds`. A worker holds at most a few requests at a time and the pipe's
    // buffer takes them all, so this waits only for a worker that stopped reading.
    bool Send(const std::string& frames, DWORD milliseconds);

    // Signalled when a read has finished: bytes arrived, or the pipe was closed.
    HANDLE readable() const { return readEvent_.get(); }
    // The same without asking the system (under Wine a wait is a call to its server).
    bool HasNews() const { return closed_ || !reading_ || HasOverlappedIoCompleted(&readState_); }
    // Moves what arrived into `reader` and starts the next read. False once the pipe is
    // closed: the worker has ended (or closed its end, which is the same thing).
    bool Collect(FrameReader* reader);

    // Ends the process if it still runs. Nothing is waited for.
    void Terminate();
    // Waits up to `milliseconds` for the process to end; its exit code, or STILL_ACTIVE.
    DWORD ExitCode(DWORD milliseconds);
    HANDLE process() const { return process_.get(); }

private:
    bool StartRead();

    UniqueHandle process_;
    UniqueHandle pipe_;
    UniqueHandle readEvent_;
    UniqueHandle writeEvent_;
    OVERLAPPED readState_ = {};
    std::vector<char> inbox_;
    bool reading_ = false;
    bool closed_ = false;
};
