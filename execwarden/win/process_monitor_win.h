#pragma once
// The library's component object: the process monitor.
#include "process_monitor.h"

struct MonitorCore;

class CProcessMonitor final : public IProcessMonitor {
public:
    // Creates the wake event and this process's two shell-execute hand-off events.
    CProcessMonitor();
    // On FreeLibrary: stops both threads, removes the driver service this library set up
    // and drops the queues. At process exit: nothing (the threads are gone already and may
    // have left any lock taken).
    ~CProcessMonitor();
    CProcessMonitor(const CProcessMonitor&) = delete;
    CProcessMonitor& operator=(const CProcessMonitor&) = delete;

    const char* GetName(char* buffer, int size) override;
    void* GetInterface(const char* name, int reserved) override;
    IProcessMonitor* Destroy(unsigned int flags) override;
    unsigned char AddCallback(IExecuteCallback* callback) override;
    unsigned char Start() override;
    unsigned char Stop() override;

private:
    MonitorCore* core_;  // left alone at process exit, so it is not a member by value
    bool started_ = false;
};
