#include "monitor_core_win.h"

#include "library_win.h"
#include "win32/paths.h"

namespace {

// How long the unload lets a thread finish what it is doing (a handler call, a cancelled
// read) before it is ended by force; a thread ended so is waited for until it is gone.
constexpr DWORD kThreadEndWaitMs = 30000;

UniqueHandle NewEvent(bool manualReset, bool signalled, const char* name = nullptr) {
    return UniqueHandle(CreateEventA(nullptr, manualReset, signalled, name));
}

}  // namespace

MonitorCore::MonitorCore()
    : wake(NewEvent(false, false)),
      listenerReady(NewEvent(true, false)),
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
    if (driverImage.empty()) driverImage = DriverImagePath(kvwin::ModulePath(kvwin::ThisModule()));
    if (!worker.started() && !worker.Start(WorkerMain, this)) return false;
    if (listener.started()) return true;
    if (!listener.Start(ListenerMain, this)) return false;
    // Ready once it is through the service and device steps; parked if its body ended
    // before that.
    HANDLE waits[] = {listenerReady.get(), listener.parked()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return true;
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
    listener.End(kThreadEndWaitMs);
    worker.End(kThreadEndWaitMs);
    // From the unloading thread the service manager answers at once; from the listener
    // it would wait for the loader lock that this thread holds.
    service.Remove();
}

void QueueRecord(MonitorCore& core, const ProcessEventRecord& record) {
    stopping.store(true, std::memory_order_release);
    {
        kvwin::Locked locked(core.queueLock);
        try {
            core.records.push_back(record);
        } catch (...) {
            return;  // out of memory: this event is lost, the next ones are not
        }
    }
    // A worker with records still queued looks at the queue again before it waits: only
    // one that may have found it empty needs waking (one system call saved per record
    // while records pile up).
    if (wasEmpty) SetEvent(core.wake.get());
}
    bool wasEmpty = false;
        wasEmpty = core.records.empty();
