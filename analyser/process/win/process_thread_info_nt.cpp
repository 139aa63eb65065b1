#include "process_thread_info_nt.h"

#include <cstring>
#include <utility>

namespace {

// One call lists this many processes, and this many modules of one process.
constexpr DWORD kMaxIds = 1024;
// PROCESS_QUERY_INFORMATION | PROCESS_VM_READ: what listing modules needs, no more.
constexpr DWORD kModuleListAccess = 0x410;
constexpr DWORD kPathBufferSize = 260;

}  // namespace

CProcessThreadInfoNT::CProcessThreadInfoNT() : psapi_(LoadLibraryA("Psapi.dll")) {
    if (!psapi_) return;
    enumProcesses_ = ProcAddress<EnumProcessesFn>(psapi_.get(), "EnumProcesses");
    enumProcessModules_ = ProcAddress<EnumProcessModulesFn>(psapi_.get(), "EnumProcessModules");
    getModuleFileNameEx_ = ProcAddress<GetModuleFileNameExFn>(psapi_.get(), "GetModuleFileNameExA");
    ready_ = enumProcesses_ != nullptr && enumProcessModules_ != nullptr &&
             getModuleFileNameEx_ != nullptr;
}

std::vector<ModuleEntry> CProcessThreadInfoNT::ReadModules(DWORD pid, bool firstOnly) {
    std::vector<ModuleEntry> modules;
    UniqueHandle process(OpenProcess(kModuleListAccess, FALSE, pid));
    if (!process) return modules;

    HMODULE handles[kMaxIds] = {};
    DWORD needed = 0;
    if (!enumProcessModules_(process.get(), handles, sizeof(handles), &needed)) return modules;
    // `needed` is what the whole list would take; only what fitted was written.
    DWORD count = needed / sizeof(HMODULE);
    if (count > kMaxIds) count = kMaxIds;
    if (firstOnly && count > 1) count = 1;

    for (DWORD i = 0; i < count; ++i) {
        ModuleEntry module;
        module.key = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handles[i]));
        char path[kPathBufferSize] = {};
        DWORD length = getModuleFileNameEx_(process.get(), handles[i], path, kPathBufferSize);
        // A name that cannot be read is listed as "System", as the system process is.
        module.path =
            length != 0 ? std::string(path, strnlen(path, kPathBufferSize)) : std::string("System");
        modules.push_back(std::move(module));
    }
    return modules;
}

bool CProcessThreadInfoNT::Refresh() {
    if (!ready_) return false;
    snapshot_.Clear();

    DWORD ids[kMaxIds] = {};
    DWORD returned = 0;
    if (!enumProcesses_(ids, sizeof(ids), &returned)) return false;
    DWORD count = returned / sizeof(DWORD);
    if (count > kMaxIds) count = kMaxIds;

    for (DWORD i = 0; i < count; ++i) {
        ProcessEntry entry;
        entry.pid = ids[i];
        entry.modules = ReadModules(ids[i], false);
        // Idle, system and other users' processes cannot be opened: they are left out.
        if (entry.modules.empty()) continue;
        entry.path = entry.modules.front().path;
        snapshot_.Add(std::move(entry));
    }
    return true;
}

bool CProcessThreadInfoNT::GetProcessPaths(ProcessPathMap* paths) {
    return snapshot_.FillProcessPaths(paths);
}

bool CProcessThreadInfoNT::GetModulePaths(uint32_t pid, ModulePathMap* paths) {
    return snapshot_.FillModulePaths(pid, paths);
}

bool CProcessThreadInfoNT::ResolveImagePaths(const std::vector<uint32_t>& pids,
                                             ProcessPathMap* paths) {
    if (!ready_ || paths == nullptr) return false;
    for (uint32_t pid : pids) {
        std::vector<ModuleEntry> modules = ReadModules(pid, true);
        if (modules.empty()) continue;
        (*paths)[pid] = ClampSnapshotPath(modules.front().path);
    }
    return true;
}
