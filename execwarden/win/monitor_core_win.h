#pragma once
// What the process monitor's listener and worker threads share with the host's calls.
#include <deque>
#include <string>

#include "driver_service_win.h"
#include "execute_callback.h"
#include "win32/locks.h"
#include "process_event.h"
#include "win32/handles.h"

struct MonitorCore {
    MonitorCore();

    // Starts the worker, then the listener, and returns once the listener has been through
    // the service and device steps: an unload must never meet it inside the service
    // manager. False when a thread cannot be created.
    bool StartThreads();
    // One Stop: while paused the listener reads nothing.
    void Pause();
    // One Start after the first.
    void Resume();
    // The unload: ends both threads, removes the service. The unloading thread only.
    void Shutdown();

    // Set for the whole life of the threads; manual-reset, both threads end on it.
    UniqueHandle stop;
    UniqueHandle wake;  // auto-reset: a record was queued
    UniqueHandle listener;
    UniqueHandle worker;
    UniqueHandle listenerReady;
    UniqueHandle workerRunning;
    // Set by each thread as it parks for good; `never` is never set.
    UniqueHandle listenerParked;
    UniqueHandle workerParked;
    UniqueHandle never;
    // Manual-reset pair, one of them set: reading allowed, or paused.
    UniqueHandle running;
    UniqueHandle paused;
    // The shell-execute hand-off events of this process.
    UniqueHandle handOffIn;
    UniqueHandle handOffOut;

    // Held around every read so that a Stop never returns while a read is under way.
    kvwin::CriticalSection gate;
    int pauseCount = 0;

    // Guards the two queues. Handlers are appended by the host and copied by the worker.
    kvwin::CriticalSection queueLock;
    std::deque<IExecuteCallback*> handlers;
    std::deque<ProcessEventRecord> records;

    std::string driverImage;  // fixed before the listener starts
    DriverService service;    // the listener's, then the unloading thread's
};

DWORD WINAPI ListenerMain(void* core);
DWORD WINAPI WorkerMain(void* core);

// A thread's last act once the stop event is set. It signals `parked` and enters an
// alertable wait in one call, so from then on it runs no code of this library; the unload
// ends it with an APC that calls ExitThread. A thread must not simply return or call
// ExitThread here: that waits for the loader lock, which the unloading thread holds while
// it waits for this one. Nor may it TerminateThread itself: the loader would never drop
// the thread's per-thread state, and the next library with thread-local data loaded into
// the process would crash the loader (seen under Wine).
[[noreturn]] void ParkUntilExit(HANDLE parked, HANDLE never);

// Appends `record` for the worker and wakes it.
void QueueRecord(MonitorCore& core, const ProcessEventRecord& record);
