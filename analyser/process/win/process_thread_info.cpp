#include "process_thread_info.h"

#include <windows.h>

#include "process_thread_info_9x.h"
#include "process_thread_info_nt.h"

// Both implementations answer both interfaces; the facade keeps whichever it chose.
struct CProcessThreadInfo::Implementation {
    std::unique_ptr<CProcessThreadInfoNT> nt;
    std::unique_ptr<CProcessThreadInfo9X> win9x;

    IProcessHelper* Helper() {
        if (nt) return nt.get();
        return win9x.get();
    }
    IProcessImagePaths* ImagePaths() {
        if (nt) return nt.get();
        return win9x.get();
    }
};

CProcessThreadInfo::CProcessThreadInfo() : impl_(new Implementation) {
    // The top bit of GetVersion marks the 9x family.
    ntFamily_ = (GetVersion() & 0x80000000u) == 0;
    if (ntFamily_) {
        impl_->nt.reset(new CProcessThreadInfoNT);
    } else {
        impl_->win9x.reset(new CProcessThreadInfo9X);
    }
}

CProcessThreadInfo::~CProcessThreadInfo() = default;

const char* CProcessThreadInfo::GetName(char* buffer, int size) {
    return AnswerComponentName(kProcessHelperName, buffer, size);
}

void* CProcessThreadInfo::GetInterface(const char* name, int /*reserved*/) {
    if (!ComponentNameEquals(name, kProcessHelperName)) return nullptr;
    return static_cast<IProcessHelper*>(this);
}

bool CProcessThreadInfo::Refresh() {
    return impl_ != nullptr && impl_->Helper()->Refresh();
}

bool CProcessThreadInfo::GetProcessPaths(ProcessPathMap* paths) {
    return impl_ != nullptr && impl_->Helper()->GetProcessPaths(paths);
}

bool CProcessThreadInfo::GetModulePaths(uint32_t pid, ModulePathMap* paths) {
    return impl_ != nullptr && impl_->Helper()->GetModulePaths(pid, paths);
}

void CProcessThreadInfo::Shutdown() {
    // Frees Psapi.dll with the NT implementation.
    impl_.reset();
}

bool CProcessThreadInfo::ResolveImagePaths(const std::vector<uint32_t>& pids,
                                           ProcessPathMap* paths) {
    return impl_ != nullptr && impl_->ImagePaths()->ResolveImagePaths(pids, paths);
}

CProcessThreadInfo& TheProcessThreadInfo() {
    static CProcessThreadInfo snapshot;
    return snapshot;
}
