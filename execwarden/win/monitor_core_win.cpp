#include "monitor_core_win.h"

#include "library_win.h"

namespace {

// How long the unload lets a thread finish what it is doing (a handler call, a cancelled
// read) before it is ended by force.
constexpr DWORD kThreadEndWaitMs = 30000;

UniqueHandle NewEvent(bool manualReset, bool signalled, const char* name = nullptr) {
    return UniqueHandle(CreateEventA(nullptr, manualReset, signalled, name));
}

// Starts `main` and waits until it signals `up` (or dies first).
UniqueHandle StartThread(LPTHREAD_START_ROUTINE main, MonitorCore& core, HANDLE up) {
    UniqueHandle thread(CreateThread(nullptr, 0, main, &core, 0, nullptr));
    if (thread) {
        HANDLE waits[] = {up, thread.get()};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    return thread;
}

// Ends a thread that parks itself when the stop event is set (see ParkUntilExit).
void EndThread(UniqueHandle& thread, HANDLE parked) {
    if (!thread) return;
    HANDLE waits[] = {parked, thread.get()};
    DWORD ended = WaitForMultipleObjects(2, waits, FALSE, kThreadEndWaitMs);
    if (ended == WAIT_OBJECT_0) {
        // The thread sits in an alertable wait outside this library. The APC runs
        // ExitThread there; it finishes once this unload has released the loader lock.
        QueueUserAPC(reinterpret_cast<PAPCFUNC>(reinterpret_cast<void*>(&ExitThread)), thread.get(),
                     0);
    } else if (ended != WAIT_OBJECT_0 + 1) {
        TerminateThread(thread.get(), 0);  // stuck in a handler: the last resort
    }
    thread.reset();
}

}  // namespace

MonitorCore::MonitorCore()
    : wake(NewEvent(false, false)),
      listenerReady(NewEvent(true, false)),
      workerRunning(NewEvent(true, false)),
      listenerParked(NewEvent(true, false)),
      workerParked(NewEvent(true, false)),
      never(NewEvent(true, false)),
      running(NewEvent(true, true)),
      paused(NewEvent(true, false)),
      handOffIn(NewEvent(false, false, kHandOffInEventName)),
      handOffOut(NewEvent(false, false, kHandOffOutEventName)) {
    SharedSection& shared = TheSharedSection();
    WriteShared(shared.inEvent, HandleBits(handOffIn.get()));
    WriteShared(shared.outEvent, HandleBits(handOffOut.get()));
}

bool MonitorCore::StartThreads() {
    if (!stop) stop = NewEvent(true, false);
    if (!stop) return false;
    if (driverImage.empty()) driverImage = DriverImagePath(ExecWardenPath());
    if (!worker) worker = StartThread(WorkerMain, *this, workerRunning.get());
    if (!worker) return false;
    if (!listener) listener = StartThread(ListenerMain, *this, listenerReady.get());
    return static_cast<bool>(listener);
}

void MonitorCore::Pause() {
    kvwin::Locked locked(gate);
    if (++pauseCount == 1) {
        ResetEvent(running.get());
        SetEvent(paused.get());
    }
}

void MonitorCore::Resume() {
    kvwin::Locked locked(gate);
    if (pauseCount > 0 && --pauseCount == 0) {
        ResetEvent(paused.get());
        SetEvent(running.get());
    }
}

void MonitorCore::Shutdown() {
    if (stop) SetEvent(stop.get());
    EndThread(listener, listenerParked.get());
    EndThread(worker, workerParked.get());
    // From the unloading thread the service manager answers at once; from the listener
    // it would wait for the loader lock that this thread holds.
    service.Remove();
}

void ParkUntilExit(HANDLE parked, HANDLE never) {
    for (;;) SignalObjectAndWait(parked, never, INFINITE, TRUE);
}

void QueueRecord(MonitorCore& core, const ProcessEventRecord& record) {
    {
        kvwin::Locked locked(core.queueLock);
        try {
            core.records.push_back(record);
        } catch (...) {
            return;  // out of memory: this event is lost, the next ones are not
        }
    }
    SetEvent(core.wake.get());
}
