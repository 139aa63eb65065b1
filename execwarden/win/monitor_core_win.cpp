#include "monitor_core_win.h"

#include "library_win.h"
#include "win32/paths.h"

namespace {

// How long the unload lets the two threads finish what they are doing (a handler call, a
// cancelled read) before they are ended by force; a thread ended so is waited for until it
// is gone.
constexpr DWORD kThreadEndWaitMs = 30000;
// How long the host's first Start waits for the listener to be through the service and
// device steps; the service's own status wait has the same bound.
constexpr DWORD kStartWaitMs = 10000;

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
    WaitForMultipleObjects(2, waits, FALSE, kStartWaitMs);
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

bool MonitorCore::Paused() {
    kvwin::Locked locked(gate);
    return pauseCount > 0;
}

void MonitorCore::Shutdown() {
    stopping.store(true, std::memory_order_release);
    if (stop) SetEvent(stop.get());
    // One grace for both threads, not one each.
    const DWORD started = GetTickCount();
    listener.End(kThreadEndWaitMs);
    const DWORD spent = GetTickCount() - started;
    worker.End(spent < kThreadEndWaitMs ? kThreadEndWaitMs - spent : 0);
    // From the unloading thread the service manager answers at once; from the listener
    // it would wait for the loader lock that this thread holds.
    service.Remove();
}

void QueueRecord(MonitorCore& core, const ProcessEventRecord& record) {
    bool wasEmpty = false;
    {
        kvwin::Locked locked(core.queueLock);
        wasEmpty = core.records.empty();
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
