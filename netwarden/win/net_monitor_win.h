#pragma once
// The network monitor component: the library's one static object.
#include <windows.h>

#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "net_monitor.h"
#include "win32/handles.h"
#include "win32/threads.h"

class CNetMonitor final : public INetMonitor {
public:
    CNetMonitor();
    // Not virtual: slot 2 stands where a destructor would. Stops the workers, disables
    // the driver and closes the device.
    ~CNetMonitor();
    CNetMonitor(const CNetMonitor&) = delete;
    CNetMonitor& operator=(const CNetMonitor&) = delete;

    const char* GetName(char* buffer, int size) override;
    void* GetInterface(const char* name, int reserved) override;
    void* DestructorSlot(unsigned flags) override;
    bool Initialize() override;
    bool EnableDriver() override;
    bool DisableDriver() override;
    bool SetPolicy(int32_t policy) override;
    void AddSink(INetMonitorSink* sink) override;
    int AddRules(const FirewallRule* rules, uint32_t count, unsigned char temporary) override;
    int DeleteRule(int32_t ruleId, unsigned char temporary) override;
    bool UpdateRule(const FirewallRule* rule, unsigned char temporary) override;
    int SaveUserRules() override;
    void EnumRules(unsigned char temporary) override;
    bool IsAdapterUp() override;
    int EnableAdapters() override;
    int SetAdapters(int mode) override;
    int SaveRules(const char* path, const RuleList* list) override;

private:
    class DriverPort;

    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned = nullptr);
    bool InitializeOnce();
    bool LoadRules();
    RuleList& List(unsigned char temporary) { return temporary != 0 ? temporary_ : persistent_; }
    std::vector<INetMonitorSink*> Sinks();
    void StopWorkers();

    static std::vector<std::string> LocalAddresses();
    static void AddressThread(void* self);
    static void TrafficThread(void* self);
    void AddressLoop();
    void TrafficLoop();
    void PollTraffic();

    std::string configPath_;
    UniqueFile device_;
    UniqueHandle stopEvent_;
    kvwin::ParkedThread addressWorker_;
    kvwin::ParkedThread trafficWorker_;
    bool initialized_ = false;
    int32_t nextRuleId_ = 1;
    // Read by the traffic thread on every round; written by SetPolicy.
    std::atomic<int32_t> policy_{0};

    // Guards everything below; sinks are called after it is released.
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::string userRulePath_;
    // The user's rule file was there but could not be read when the rules were loaded.
    bool userFileUnread_ = false;
    std::deque<INetMonitorSink*> sinks_;
    RuleList persistent_;
    RuleList temporary_;

    // The address thread's first round, resolved by Initialize on the host's thread: the
    // first resolution in a process may load libraries, which needs the loader lock, and
    // a host that unloads at once holds that lock while it waits for the thread to park.
    std::vector<std::string> firstAddresses_;

    // The traffic thread's own.
    std::vector<TrafficRecord> trafficRecords_;
    uint32_t trafficHint_ = 0;
};
