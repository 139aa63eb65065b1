// The worker thread: asks the handlers about each queued process and ends the processes
// that a handler blocks.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <vector>

#include "library_win.h"
#include "module_name.h"
#include "monitor_core_win.h"

namespace {

// The image lookup against the running system; retry pauses end when the monitor stops.
class SystemProcesses final : public ProcessImageSource {
public:
    explicit SystemProcesses(HANDLE stop) : stop_(stop) {}

    bool Open(std::uint32_t processId) override {
        process_.reset(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
        return static_cast<bool>(process_);
    }
    bool EnumerateModules(ModuleAddress* modules, std::size_t capacity,
                          std::size_t* count) override {
        HMODULE table[kModuleTableEntries];
        DWORD needed = 0;
        DWORD bytes = static_cast<DWORD>(std::min(capacity, kModuleTableEntries) * sizeof(HMODULE));
        if (!EnumProcessModules(process_.get(), table, bytes, &needed)) return false;
        *count = needed / sizeof(HMODULE);
        std::size_t filled = std::min<std::size_t>(*count, bytes / sizeof(HMODULE));
        for (std::size_t i = 0; i < filled; ++i)
            modules[i] = reinterpret_cast<ModuleAddress>(table[i]);
        return true;
    }
    bool ModuleFileName(ModuleAddress module, std::string* name) override {
        char buffer[MAX_PATH] = {};
        DWORD length = GetModuleFileNameExA(process_.get(), reinterpret_cast<HMODULE>(module),
                                            buffer, sizeof buffer);
        if (length == 0) return false;
        name->assign(buffer, std::min<DWORD>(length, sizeof buffer));
        return true;
    }
    bool Pause(unsigned ms) override { return WaitForSingleObject(stop_, ms) == WAIT_TIMEOUT; }
    void Close() override { process_.reset(); }

private:
    HANDLE stop_;
    UniqueHandle process_;
};

void TerminateBlocked(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
    if (process) TerminateProcess(process.get(), 0);
}

bool Stopping(MonitorCore& core) {
    return WaitForSingleObject(core.stop.get(), 0) != WAIT_TIMEOUT;
}

// Asks each handler in turn until one blocks. False when the monitor is stopping.
bool AskHandlers(MonitorCore& core, const ProcessEventRecord& record,
                 const std::vector<IExecuteCallback*>& handlers) {
    for (IExecuteCallback* handler : handlers) {
        if (Stopping(core)) return false;
        SystemProcesses processes(core.stop.get());
        ProcessImage image = FindProcessImage(processes, record.processId);
        if (image.stopped) return false;
        unsigned char answer = handler->OnExecute("", image.path.c_str(), "", "", record.processId,
                                                  reinterpret_cast<HMODULE>(image.module));
        WriteShared(TheSharedSection().verdict, static_cast<std::uint8_t>(answer));
        if (answer == 0) {
            TerminateBlocked(record.processId);
            break;
        }
    }
    return true;
}

// Handles records until the monitor stops.
void Work(MonitorCore& core) {
    for (;;) {
        ProcessEventRecord record{};
        std::vector<IExecuteCallback*> handlers;
        bool queued = false;
        {
            kvwin::Locked locked(core.queueLock);
            if (!core.records.empty()) {
                queued = true;
                record = core.records.front();
                // Copied per record: no lock is held while a handler runs.
                try {
                    handlers.assign(core.handlers.begin(), core.handlers.end());
                } catch (...) {
                    handlers.clear();
                }
            }
        }
        if (!queued) {
            HANDLE waits[] = {core.stop.get(), core.wake.get()};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
            continue;
        }
        if (!AskHandlers(core, record, handlers)) return;
        kvwin::Locked locked(core.queueLock);
        core.records.pop_front();
    }
}

}  // namespace

void WorkerMain(void* core) {
    Work(*static_cast<MonitorCore*>(core));
}
