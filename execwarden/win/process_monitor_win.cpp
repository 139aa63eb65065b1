#include "process_monitor_win.h"

#include <new>

#include "monitor_core_win.h"
#include "win32/threads.h"

CProcessMonitor::CProcessMonitor() : core_(new (std::nothrow) MonitorCore) {}

CProcessMonitor::~CProcessMonitor() {
    if (core_ == nullptr || !kvwin::UnloadingByFreeLibrary()) return;
    core_->Shutdown();
    delete core_;
    core_ = nullptr;
}

const char* CProcessMonitor::GetName(char* buffer, int size) {
    return AnswerComponentName(kProcessMonitorName, buffer, size);
}

void* CProcessMonitor::GetInterface(const char* name, int) {
    return ComponentNameEquals(name, kProcessMonitorName) ? static_cast<IProcessMonitor*>(this)
                                                          : nullptr;
}

IProcessMonitor* CProcessMonitor::Destroy(unsigned int) {
    return this;
}

unsigned char CProcessMonitor::AddCallback(IExecuteCallback* callback) {
    if (callback == nullptr || core_ == nullptr) return 0;
    kvwin::Locked locked(core_->queueLock);
    try {
        core_->handlers.push_back(callback);
    } catch (...) {
        return 0;
    }
    return 1;
}

unsigned char CProcessMonitor::Start() {
    if (core_ == nullptr) return 0;
    if (!started_) {
        started_ = core_->StartThreads();
        return started_ ? 1 : 0;
    }
    core_->Resume();
    return 1;
}

unsigned char CProcessMonitor::Stop() {
    if (core_ != nullptr && started_) core_->Pause();
    return 1;
}
