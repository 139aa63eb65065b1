#pragma once
// The network monitor's interface: the object itself, two IComponent slots followed by
// the monitor's operations, and the sink a host registers with it. Slot order is a
// contract with hosts built by other compilers: never reorder, never add a virtual
// destructor (GCC would give it two slots, other compilers one).
#include <cstdint>

#include "component.h"
#include "firewall_rule.h"
#include "traffic.h"

constexpr char kNetMonitorName[] = "KAVRO NET MONITOR COMPONENT 1.0";

// Implemented by the host; the monitor keeps plain pointers until it unloads.
class INetMonitorSink {
public:
    // Slot 0. The default rule file's title (at most 60 characters), once per rule load.
    virtual void OnRuleSetTitle(const char* title) = 0;
    // Slot 1. One merged traffic record, on the traffic thread.
    virtual void OnTraffic(const TrafficRecord* record) = 0;
    // Slot 2. One rule, during EnumRules.
    virtual void OnRule(const FirewallRule* rule) = 0;
};

// `temporary` selects the temporary list when nonzero, the persistent list when zero.
class INetMonitor : public IComponent {
public:
    // Slot 2 stands where the destructor stood; the object is static and never freed
    // through it: the slot does nothing and returns the object.
    virtual void* DestructorSlot(unsigned flags) = 0;
    // Slot 3. Installs and starts the driver, opens it, sends the policy, loads the rules
    // and starts the address and traffic threads. Again after success: true, no effect.
    virtual bool Initialize() = 0;
    // Slot 4, 5. Switches the driver's filtering on or off.
    virtual bool EnableDriver() = 0;
    virtual bool DisableDriver() = 0;
    // Slot 6. Stores the policy in the configuration file, then sends it.
    virtual bool SetPolicy(int32_t policy) = 0;
    // Slot 7. Appends a sink (a null one is ignored).
    virtual void AddSink(INetMonitorSink* sink) = 0;
    // Slot 8. 1 when every new rule reached the driver and the list; 0 otherwise.
    virtual int AddRules(const FirewallRule* rules, uint32_t count, unsigned char temporary) = 0;
    // Slot 9. 1 when the driver accepted the delete.
    virtual int DeleteRule(int32_t ruleId, unsigned char temporary) = 0;
    // Slot 10. True when the driver accepted the update.
    virtual bool UpdateRule(const FirewallRule* rule, unsigned char temporary) = 0;
    // Slot 11. Writes the persistent list to the user rule file; 0, with the file left as
    // it is, while a user file that could not be read at Initialize is still there.
    virtual int SaveUserRules() = 0;
    // Slot 12. Hands each rule of the list to every sink's OnRule.
    virtual void EnumRules(unsigned char temporary) = 0;
    // Slot 13. True when some network adapter is up.
    virtual bool IsAdapterUp() = 0;
    // Slot 14, 15. Change adapter states (mode 0 enable, 1 disable one, 2 disable all);
    // always 0.
    virtual int EnableAdapters() = 0;
    virtual int SetAdapters(int mode) = 0;
    // Slot 16. Writes `list` as a user rule file; 1 when it is complete on disk. Takes the
    // component's own list type: for the component's own code, not for foreign hosts.
    virtual int SaveRules(const char* path, const RuleList* list) = 0;
};
