#pragma once
// What the process monitor's listener and worker threads share with the host's calls.
#include <atomic>
#include <deque>
#include <string>

#include "driver_service_win.h"
#include "execute_callback.h"
#include "process_event.h"
#include "win32/handles.h"
#include "win32/locks.h"
#include "win32/threads.h"

struct MonitorCore {
    MonitorCore();

    // Starts the worker, then the listener, and returns once the listener has been through
    // the service and device steps (an unload should not meet it inside the service
    // manager), or after kStartWaitMs whatever the driver and its service do. False when a
    // thread cannot be started.
    bool StartThreads();
    // One Stop: from now on the listener sends no read until the matching Start. Never
    // waits for the driver: a read sent before may still be pending, and its record is
    // queued when it comes.
    void Pause();
    // One Start after the first.
    void Resume();
    bool Paused();
    // The unload: ends both threads, removes the service. The unloading thread only.
    void Shutdown();
    // True once Shutdown began (the `stop` event is set), asked without a system call.
    bool Stopping() const { return stopping.load(std::memory_order_acquire); }

    // Set for the whole life of the threads; manual-reset, both threads end on it.
    UniqueHandle stop;
    std::atomic<bool> stopping{false};
    UniqueHandle wake;  // auto-reset: a record was queued
    // Their bodies return once `stop` is set; the threads then park until the unload
    // ends them.
    kvwin::ParkedThread listener;
    kvwin::ParkedThread worker;
    UniqueHandle listenerReady;
    // Manual-reset pair, one of them set: reading allowed, or paused.
    UniqueHandle running;
    UniqueHandle paused;
    // The shell-execute hand-off events of this process.
    UniqueHandle handOffIn;
    UniqueHandle handOffOut;

    // Guards pauseCount; never held across a call to the driver.
    kvwin::CriticalSection gate;
    int pauseCount = 0;

    // Guards the two queues. Handlers are appended by the host and copied by the worker.
    kvwin::CriticalSection queueLock;
    std::deque<IExecuteCallback*> handlers;
    std::deque<ProcessEventRecord> records;

    std::string driverImage;  // fixed before the listener starts
    DriverService service;    // the listener's, then the unloading thread's
};

// The two thread bodies; `core` is the MonitorCore.
void ListenerMain(void* core);
void WorkerMain(void* core);

// Appends `record` for the worker and wakes it.
void QueueRecord(MonitorCore& core, const ProcessEventRecord& record);
