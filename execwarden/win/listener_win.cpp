// The listener thread: installs and opens the driver, then reads a record whenever the
// driver signals one (or, without its event, every millisecond) and queues the new ones.
#include "driver_device_win.h"
#include "monitor_core_win.h"

namespace {

// Lets the worker open and end processes of other users. Wine grants it; a refusal is
// not fatal, so its outcome is not examined.
void EnableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    UniqueHandle owned(token);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
}

class Listener {
public:
    Listener(MonitorCore& core, DriverDevice& device) : core_(core), device_(device) {}

    // Runs until the stop event is signalled.
    void Run() {
        for (;;) {
            if (core_.Paused()) {
                HANDLE waits[] = {core_.stop.get(), core_.running.get()};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
                continue;
            }
            if (missedSignal_) {
                missedSignal_ = false;
                if (!ReadOnce()) return;
                continue;
            }
            if (!device_.open()) {
                HANDLE waits[] = {core_.stop.get(), core_.paused.get()};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
            } else if (device_.event() == nullptr) {
                if (!ReadOnce()) return;
                if (WaitForSingleObject(core_.stop.get(), 1) != WAIT_TIMEOUT) return;
            } else {
                HANDLE waits[] = {core_.stop.get(), device_.event(), core_.paused.get()};
                DWORD woken = WaitForMultipleObjects(3, waits, FALSE, INFINITE);
                if (woken == WAIT_OBJECT_0 + 1) {
                    if (!ReadOnce()) return;
                } else if (woken != WAIT_OBJECT_0 + 2) {
                    return;
                }
            }
        }
    }

private:
    // One read, unless a Stop came first: then the driver's signal is remembered and the
    // read happens after the last Start. No lock is held while the driver answers, so a
    // driver that keeps the read pending holds up no Stop. False when stopping.
    bool ReadOnce() {
        if (core_.Paused()) {
            missedSignal_ = true;
            return true;
        }
        unsigned char bytes[kProcessEventRecordSize] = {};
        DWORD written = 0;
        DriverDevice::Result result =
            device_.Control(kReadLatest, bytes, sizeof bytes, &written, core_.stop.get());
        if (result == DriverDevice::Result::kStopped) return false;
        std::optional<ProcessEventRecord> record =
            filter_.Take(result == DriverDevice::Result::kDone, bytes, written);
        if (record) QueueRecord(core_, *record);
        return true;
    }

    MonitorCore& core_;
    DriverDevice& device_;
    ProcessEventFilter filter_;
    bool missedSignal_ = false;
};

void Listen(MonitorCore& core) {
    EnableDebugPrivilege();
    core.service.InstallAndStart(core.driverImage, core.stop.get());
    DriverDevice device;
    DWORD written = 0;
    if (device.Open()) {
        device.OpenDriverEvent();
        device.Control(kStartReporting, nullptr, 0, &written, core.stop.get());
    }
    SetEvent(core.listenerReady.get());

    Listener(core, device).Run();

    if (device.open()) device.Control(kStopReporting, nullptr, 0, &written, nullptr);
    device.Close();
}

}  // namespace

void ListenerMain(void* core) {
    Listen(*static_cast<MonitorCore*>(core));
}
