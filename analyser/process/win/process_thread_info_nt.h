#pragma once
// The snapshot of the NT family, through PSAPI loaded at run time.
#include <windows.h>

#include "win32/handles.h"
#include "process_helper.h"
#include "process_snapshot.h"

class CProcessThreadInfoNT final : public IProcessHelper, public IProcessImagePaths {
public:
    CProcessThreadInfoNT();
    CProcessThreadInfoNT(const CProcessThreadInfoNT&) = delete;
    CProcessThreadInfoNT& operator=(const CProcessThreadInfoNT&) = delete;

    // False when Psapi.dll or one of its three functions is missing.
    bool Ready() const { return ready_; }

    bool Refresh() override;
    bool GetProcessPaths(ProcessPathMap* paths) override;
    bool GetModulePaths(uint32_t pid, ModulePathMap* paths) override;
    void Shutdown() override {}
    bool ResolveImagePaths(const std::vector<uint32_t>& pids, ProcessPathMap* paths) override;

    // The snapshot as the last Refresh left it.
    const ProcessSnapshot& Snapshot() const { return snapshot_; }

private:
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

    // The modules of one process, main image first; empty when it cannot be opened or
    // reports none. With `firstOnly` only the main image is named.
    std::vector<ModuleEntry> ReadModules(DWORD pid, bool firstOnly);

    UniqueModule psapi_;
    EnumProcessesFn enumProcesses_ = nullptr;
    EnumProcessModulesFn enumProcessModules_ = nullptr;
    GetModuleFileNameExFn getModuleFileNameEx_ = nullptr;
    bool ready_ = false;
    ProcessSnapshot snapshot_;
};
