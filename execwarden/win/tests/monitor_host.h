#pragma once
// A host of ExecWarden.dll for the tests: loads it as hosts do, registers recording
// handlers, and talks to the driver double behind the component's back.
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "process_monitor.h"
#include "procwatch_codes.h"
#include "program_folder_win.h"
#include "win32/handles.h"

// Stops and deletes any "ProcWatcherDriver" service; true when none is left.
bool RemoveDriverService();
bool DriverServiceExists();

// Runs `commandLine` and answers its exit code (STILL_ACTIVE if it took over `ms`, or
// the error when it could not start).
DWORD RunToEnd(std::string commandLine, DWORD ms = 30000);

// Starts idle.exe (which exits 7 on its own after a minute).
PROCESS_INFORMATION StartIdle(bool suspended);
// The exit code of a process that ended within `ms`, or STILL_ACTIVE.
DWORD ExitCodeWithin(HANDLE process, DWORD ms);
// The main module of a running process as the system lists it.
HMODULE MainModuleOf(HANDLE process);

struct ExecuteCall {
    std::string verb, file, parameters, directory;
    DWORD processId;
    HMODULE module;
    DWORD tick;    // GetTickCount at the call
    DWORD thread;  // the thread that called
};

class RecordingCallback : public IExecuteCallback {
public:
    // With `release`, each call is recorded at once but answers only once `release` is set:
    // a handler still deciding.
    explicit RecordingCallback(unsigned char answer = 1, HANDLE release = nullptr)
        : answer_(answer), release_(release) {}
    unsigned char OnExecute(const char* verb, const char* file, const char* parameters,
                            const char* directory, DWORD processId, HMODULE module) override;

    void SetAnswer(unsigned char answer);
    // True once at least `count` calls were made, false after `ms` without them.
    bool WaitForCalls(std::size_t count, DWORD ms = 20000);
    // True once a call about `processId` was made.
    bool WaitForProcess(DWORD processId, DWORD ms = 20000);
    std::vector<ExecuteCall> Calls();

private:
    std::mutex mutex_;
    std::condition_variable called_;
    std::vector<ExecuteCall> calls_;
    unsigned char answer_;
    HANDLE release_;
};

// The test's own channel to the driver double.
class DriverDouble {
public:
    bool Open();
    bool Report(DWORD first, DWORD processId, DWORD flags);
    procwatch_counters Counters();
    bool SetQueueMode(bool queue);
    bool FailReads(unsigned long count, unsigned long shortBytes);
    // While held, the driver keeps every read pending; releasing answers them.
    bool HoldReads(bool hold);
    // True once the component has sent at least `reads` read requests.
    bool WaitForReads(unsigned long reads, DWORD ms = 10000);

private:
    bool Send(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);
    UniqueFile device_;
};

// ExecWarden.dll loaded by path, its component fetched through the factory export.
class MonitorLibrary {
public:
    explicit MonitorLibrary(const std::string& path = kvtest::BesideProgram("ExecWarden.dll"));
    ~MonitorLibrary() { Free(); }
    MonitorLibrary(const MonitorLibrary&) = delete;
    MonitorLibrary& operator=(const MonitorLibrary&) = delete;

    bool loaded() const { return module_ != nullptr && monitor_ != nullptr; }
    IProcessMonitor* monitor() const { return monitor_; }
    HMODULE module() const { return module_; }
    // FreeLibrary; the time it took in milliseconds.
    DWORD Free();

private:
    HMODULE module_ = nullptr;
    IProcessMonitor* monitor_ = nullptr;
};
