// The worker thread: asks the handlers about each queued process and ends the processes
// that a handler blocks.
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "library_win.h"
#include "module_name.h"
#include "monitor_core_win.h"

namespace {

// What the lookup and the termination need, and no more: the image queries and module
// reads, and the end of a blocked process.
constexpr DWORD kProcessAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;

// The cheap queries, where the system has them: QueryFullProcessImageNameA came with
// Vista, NtQueryInformationProcess answers the address of a process's environment block.
using QueryImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
using QueryProcessFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

struct ProcessQueries {
    QueryImageNameFn imageName = nullptr;
    QueryProcessFn information = nullptr;
    IsWow64ProcessFn isWow64 = nullptr;
    bool selfWow64 = false;
};

const ProcessQueries& Queries() {
    static const ProcessQueries queries = [] {
        ProcessQueries found;
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        found.imageName = ProcAddress<QueryImageNameFn>(kernel, "QueryFullProcessImageNameA");
        found.information =
            ProcAddress<QueryProcessFn>(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
        found.isWow64 = ProcAddress<IsWow64ProcessFn>(kernel, "IsWow64Process");
        BOOL wow64 = FALSE;
        found.selfWow64 =
            found.isWow64 != nullptr && found.isWow64(GetCurrentProcess(), &wow64) && wow64;
        return found;
    }();
    return queries;
}

// The environment block begins with four bytes of flags and the mutant handle; then comes
// the address the main image was loaded at.
constexpr std::size_t kImageBaseOffset = 2 * sizeof(void*);

// The image lookup against one opened process; retry pauses end when the monitor stops.
class OpenedProcess final : public ProcessImageSource {
public:
    OpenedProcess(HANDLE process, HANDLE stop) : process_(process), stop_(stop) {}

    bool MainImage(std::string* path, ModuleAddress* module) override {
        const ProcessQueries& queries = Queries();
        if (queries.imageName == nullptr || queries.information == nullptr) return false;
        // A 64-bit process seen from WOW64: its environment block is not the one this
        // query answers, and its modules are out of reach; the walk answers as before.
        BOOL wow64 = FALSE;
        if (queries.selfWow64 && (!queries.isWow64(process_, &wow64) || !wow64)) return false;
        char buffer[MAX_PATH];
        DWORD length = sizeof buffer;
        if (!queries.imageName(process_, 0, buffer, &length)) return false;
        PROCESS_BASIC_INFORMATION basic{};
        if (queries.information(process_, ProcessBasicInformation, &basic, sizeof basic, nullptr) <
                0 ||
            basic.PebBaseAddress == nullptr)
            return false;
        void* base = nullptr;
        SIZE_T read = 0;
        if (!ReadProcessMemory(
                process_, reinterpret_cast<const char*>(basic.PebBaseAddress) + kImageBaseOffset,
                &base, sizeof base, &read) ||
            read != sizeof base)
            return false;
        path->assign(buffer, std::min<DWORD>(length, sizeof buffer));
        *module = reinterpret_cast<ModuleAddress>(base);
        return true;
    }
    bool EnumerateModules(ModuleAddress* modules, std::size_t capacity,
                          std::size_t* count) override {
        HMODULE table[kModuleTableEntries];
        DWORD needed = 0;
        DWORD bytes = static_cast<DWORD>(std::min(capacity, kModuleTableEntries) * sizeof(HMODULE));
        if (!EnumProcessModules(process_, table, bytes, &needed)) return false;
        *count = needed / sizeof(HMODULE);
        std::size_t filled = std::min<std::size_t>(*count, bytes / sizeof(HMODULE));
        for (std::size_t i = 0; i < filled; ++i)
            modules[i] = reinterpret_cast<ModuleAddress>(table[i]);
        return true;
    }
    bool ModuleFileName(ModuleAddress module, std::string* name) override {
        char buffer[MAX_PATH] = {};
        DWORD length = GetModuleFileNameExA(process_, reinterpret_cast<HMODULE>(module), buffer,
                                            sizeof buffer);
        if (length == 0) return false;
        name->assign(buffer, std::min<DWORD>(length, sizeof buffer));
        return true;
    }
    bool Pause(unsigned ms) override { return WaitForSingleObject(stop_, ms) == WAIT_TIMEOUT; }

private:
    HANDLE process_;
    HANDLE stop_;
};

// Asks each handler in turn until one blocks. The process is opened once: every handler
// gets the same image, and a blocked process is ended through the handle held since the
// lookup. While that handle is open the process's id cannot pass to a new process, so the
// process ended is the one the handlers were asked about; one that is already gone stays
// gone. False when the monitor is stopping.
bool AskHandlers(MonitorCore& core, const ProcessEventRecord& record,
                 const std::vector<IExecuteCallback*>& handlers) {
    if (handlers.empty()) return true;
    if (core.Stopping()) return false;
    UniqueHandle process(OpenProcess(kProcessAccess, FALSE, record.processId));
    ProcessImage image;  // a process that cannot be opened: "" and 0
    if (process) {
        OpenedProcess source(process.get(), core.stop.get());
        image = FindProcessImage(source);
        if (image.stopped) return false;
    }
    for (IExecuteCallback* handler : handlers) {
        if (core.Stopping()) return false;
        unsigned char answer = handler->OnExecute("", image.path.c_str(), "", "", record.processId,
                                                  reinterpret_cast<HMODULE>(image.module));
        WriteShared(TheSharedSection().verdict, static_cast<std::uint8_t>(answer));
        if (answer == 0) {
            if (process) TerminateProcess(process.get(), 0);
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
