#include "process_thread_info_9x.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace {

constexpr DWORD kProcessSnapshotFlag = 2;  // TH32CS_SNAPPROCESS
constexpr DWORD kModuleSnapshotFlag = 8;   // TH32CS_SNAPMODULE

// The walk functions check dwSize against the narrow layouts of these sizes.
static_assert(sizeof(PROCESSENTRY32) == 296, "narrow process entry");
static_assert(offsetof(PROCESSENTRY32, th32ProcessID) == 8, "process id");
static_assert(offsetof(PROCESSENTRY32, szExeFile) == 36, "process path");
static_assert(sizeof(MODULEENTRY32) == 548, "narrow module entry");
static_assert(offsetof(MODULEENTRY32, th32ModuleID) == 4, "module id");
static_assert(offsetof(MODULEENTRY32, szExePath) == 288, "module path");

// The text of a fixed buffer that the system may have filled to the last byte.
template <size_t N>
std::string BufferText(const char (&buffer)[N]) {
    return std::string(buffer, strnlen(buffer, N));
}

}  // namespace

CProcessThreadInfo9X::CProcessThreadInfo9X() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) {
        loadedKernel_.reset(LoadLibraryA("kernel32.dll"));
        kernel = loadedKernel_.get();
    }
    if (kernel == nullptr) return;
    createSnapshot_ = ProcAddress<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
    processFirst_ = ProcAddress<ProcessWalkFn>(kernel, "Process32First");
    processNext_ = ProcAddress<ProcessWalkFn>(kernel, "Process32Next");
    moduleFirst_ = ProcAddress<ModuleWalkFn>(kernel, "Module32First");
    moduleNext_ = ProcAddress<ModuleWalkFn>(kernel, "Module32Next");
}

bool CProcessThreadInfo9X::Usable() const {
    return createSnapshot_ != nullptr && processFirst_ != nullptr && processNext_ != nullptr &&
           moduleFirst_ != nullptr && moduleNext_ != nullptr;
}

std::vector<ModuleEntry> CProcessThreadInfo9X::ReadModules(DWORD pid) {
    std::vector<ModuleEntry> modules;
    UniqueFile list(createSnapshot_(kModuleSnapshotFlag, pid));
    if (!list) return modules;
    MODULEENTRY32 module = {};
    module.dwSize = sizeof(module);
    for (BOOL more = moduleFirst_(list.get(), &module); more;
         more = moduleNext_(list.get(), &module)) {
        ModuleEntry entry;
        entry.path = BufferText(module.szExePath);
        entry.key = module.th32ModuleID;
        modules.push_back(std::move(entry));
    }
    return modules;
}

bool CProcessThreadInfo9X::Refresh() {
    snapshot_.Clear();
    if (!Usable()) return false;
    UniqueFile list(createSnapshot_(kProcessSnapshotFlag, 0));
    if (!list) return false;

    PROCESSENTRY32 process = {};
    process.dwSize = sizeof(process);
    for (BOOL more = processFirst_(list.get(), &process); more;
         more = processNext_(list.get(), &process)) {
        ProcessEntry entry;
        entry.path = BufferText(process.szExeFile);
        entry.pid = process.th32ProcessID;
        entry.modules = ReadModules(process.th32ProcessID);
        snapshot_.Add(std::move(entry));
    }
    return true;
}

bool CProcessThreadInfo9X::GetProcessPaths(ProcessPathMap* paths) {
    return snapshot_.FillProcessPaths(paths);
}

bool CProcessThreadInfo9X::GetModulePaths(uint32_t pid, ModulePathMap* paths) {
    return snapshot_.FillModulePaths(pid, paths);
}

bool CProcessThreadInfo9X::ResolveImagePaths(const std::vector<uint32_t>& pids,
                                             ProcessPathMap* paths) {
    if (!Usable() || paths == nullptr) return false;
    UniqueFile list(createSnapshot_(kProcessSnapshotFlag, 0));
    if (!list) return false;
    // The process walk alone names every image; the module walks are what cost.
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof(process);
    for (BOOL more = processFirst_(list.get(), &process); more;
         more = processNext_(list.get(), &process)) {
        if (std::find(pids.begin(), pids.end(), process.th32ProcessID) == pids.end()) continue;
        (*paths)[process.th32ProcessID] = ClampSnapshotPath(BufferText(process.szExeFile));
    }
    return true;
}
