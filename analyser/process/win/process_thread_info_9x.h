#pragma once
// The snapshot of the 9x family, through Tool Help in kernel32.
#include <windows.h>

#include "win32/handles.h"
#include "process_helper.h"
#include "process_snapshot.h"

class CProcessThreadInfo9X final : public IProcessHelper, public IProcessImagePaths {
public:
    CProcessThreadInfo9X();
    CProcessThreadInfo9X(const CProcessThreadInfo9X&) = delete;
    CProcessThreadInfo9X& operator=(const CProcessThreadInfo9X&) = delete;

    bool Refresh() override;
    bool GetProcessPaths(ProcessPathMap* paths) override;
    bool GetModulePaths(uint32_t pid, ModulePathMap* paths) override;
    void Shutdown() override {}
    bool ResolveImagePaths(const std::vector<uint32_t>& pids, ProcessPathMap* paths) override;

    // The snapshot as the last Refresh left it.
    const ProcessSnapshot& Snapshot() const { return snapshot_; }

private:
    using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, void*);
    using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, void*);

    bool Usable() const;
    std::vector<ModuleEntry> ReadModules(DWORD pid);

    // Only set when kernel32 had to be loaded; the already loaded one is borrowed.
    UniqueModule loadedKernel_;
    CreateSnapshotFn createSnapshot_ = nullptr;
    ProcessWalkFn processFirst_ = nullptr;
    ProcessWalkFn processNext_ = nullptr;
    ModuleWalkFn moduleFirst_ = nullptr;
    ModuleWalkFn moduleNext_ = nullptr;
    ProcessSnapshot snapshot_;
};
