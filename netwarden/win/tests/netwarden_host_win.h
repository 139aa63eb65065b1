#pragma once
// A host of NetWarden.dll as a foreign program sees it: LoadLibrary, the export, slots
// called by number as thiscall, and a sink that is a hand-made table of thiscall
// functions (so the slots the library calls on it are pinned too).
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "call_slot.h"
#include "firewall_rule.h"
#include "traffic.h"

class IKavroComponentManager;

// Records what the library hands to its sinks.
class RecordingSink {
public:
    RecordingSink();
    ~RecordingSink();
    void* object() { return &vtable_; }

    std::vector<std::string> Titles();
    std::vector<TrafficRecord> Traffic();
    std::vector<FirewallRule> Rules();
    void ClearRules();
    size_t TrafficCalls();
    // Waits (bounded) until at least `n` traffic records arrived in all.
    bool WaitForTraffic(size_t n, DWORD timeoutMs);

private:
    static void __thiscall OnRuleSetTitle(void* self, const char* title);
    static void __thiscall OnTraffic(void* self, const TrafficRecord* record);
    static void __thiscall OnRule(void* self, const FirewallRule* rule);

    const void* const* vtable_;  // first: what the library sees as the object
    std::mutex mutex_;
    std::vector<std::string> titles_;
    std::vector<TrafficRecord> traffic_;
    std::vector<FirewallRule> rules_;
    HANDLE trafficArrived_;
};

class NetWardenHost {
public:
    explicit NetWardenHost(const std::string& library, IKavroComponentManager* registry = nullptr);
    ~NetWardenHost();
    NetWardenHost(const NetWardenHost&) = delete;
    NetWardenHost& operator=(const NetWardenHost&) = delete;

    bool loaded() const { return object_ != nullptr; }
    void* object() const { return object_; }
    // Calls the export again, as a second host would.
    void* Serve(IKavroComponentManager* registry);

    template <class Result, class... Args>
    Result Slot(int slot, Args... args) {
        return kvtest::CallSlot<Result>(object_, slot, args...);
    }
    bool Initialize() { return Slot<bool>(3); }
    bool EnableDriver() { return Slot<bool>(4); }
    bool DisableDriver() { return Slot<bool>(5); }
    bool SetPolicy(int32_t policy) { return Slot<bool>(6, policy); }
    void AddSink(RecordingSink* sink) { Slot<void>(7, sink != nullptr ? sink->object() : nullptr); }
    int AddRules(const std::vector<FirewallRule>& rules, unsigned char temporary) {
        return Slot<int>(8, rules.data(), static_cast<uint32_t>(rules.size()), temporary);
    }
    int DeleteRule(int32_t id, unsigned char temporary) { return Slot<int>(9, id, temporary); }
    bool UpdateRule(const FirewallRule* rule, unsigned char temporary) {
        return Slot<bool>(10, rule, temporary);
    }
    int SaveUserRules() { return Slot<int>(11); }
    void EnumRules(unsigned char temporary) { Slot<void>(12, temporary); }
    bool IsAdapterUp() { return Slot<bool>(13); }
    int EnableAdapters() { return Slot<int>(14); }
    int SetAdapters(int mode) { return Slot<int>(15, mode); }
    int SaveRules(const char* path, const RuleList* list) { return Slot<int>(16, path, list); }

    // FreeLibrary; the milliseconds it took.
    DWORD Unload();

private:
    using Factory = int(__cdecl*)(void**, IKavroComponentManager*);
    HMODULE module_ = nullptr;
    Factory factory_ = nullptr;
    void* object_ = nullptr;
};
