#ifndef KAVRO_NETWARDEN_H
#define KAVRO_NETWARDEN_H
// NetWarden.dll for its hosts: the network monitor interface, the sink a host registers
// with it, and the records both carry.
//
// A host gets the monitor through the component convention (component.h):
// GetInterface(kNetMonitorName, 0) answers the object itself, whose slots begin with
// IComponent's two. Order of calls: AddSink for each sink, then Initialize, then the rest.
// Initialize installs and starts the filter driver KavroFW.sys (which must lie in the
// system's drivers folder), sends the policy of NetWarden.cfg (beside the library) and
// loads the rules from the folder that its "CfgData" names: the user's u_Rules.dat when
// there is one, else the default file a_Rules.dat, which must be there.
//
// Records are fixed binary layouts, the same in memory, in the rule files and in the
// calls. Integers are little-endian; addresses are IPv4 in network byte order.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.
#include "abi.h"
#include "component.h"

#if defined(__has_include)
#if __has_include(<vector>)
#include <vector>
#endif
#endif

// The component's name, and the name of its interface (the object itself).
const char kNetMonitorName[] = "KAVRO NET MONITOR COMPONENT 1.0";

// One firewall rule, 112 bytes. A host chooses the ids of the rules it adds.
struct FirewallRule {
    int state;           // 1 for rules taken from the default file; not sent to the driver
    unsigned int flags;  // bit 0x40 in the default file pins address B to 127.0.0.1
    char text[64];       // the rule's name; NUL-terminated when shorter than 64 bytes
    int ruleId;          // the key of every list operation
    unsigned int addressA;
    unsigned int maskA;  // 0 reaches the driver as 0xFFFFFFFF
    unsigned int addressB;
    unsigned int maskB;  // 0 reaches the driver as 0xFFFFFFFF
    unsigned short portALow;
    unsigned short portAHigh;
    unsigned short portBLow;
    unsigned short portBHigh;
    unsigned char protocol;
    unsigned char unused[3];  // kept in the files, not sent
    unsigned int valueC;
    unsigned int valueD;
};

// One traffic entry as the driver reports it, 28 bytes. Bytes 4-15 and 24-27 form the
// key under which the monitor merges the entries of one poll.
struct TrafficEntry {
    unsigned int carried0;   // 0-3, taken from the first entry of the key
    unsigned int keyA;       // 4-7
    unsigned int keyB;       // 8-11
    unsigned short keyC;     // 12-13
    unsigned short keyD;     // 14-15
    unsigned int carried16;  // 16-19, taken from the first entry of the key
    unsigned int amount;     // 20-23, summed over the key
    unsigned int keyE;       // 24-27
};

// The entries of one key in one poll, merged: 36 bytes.
struct TrafficRecord {
    TrafficEntry first;   // the first entry of the key
    unsigned int sum;     // the amounts of all its entries
    unsigned int number;  // how many entries had the key
};

// Compilers that do not lay the records out as above stop here.
typedef char KavroFirewallRuleIs112Bytes[sizeof(FirewallRule) == 112 ? 1 : -1];
typedef char KavroTrafficEntryIs28Bytes[sizeof(TrafficEntry) == 28 ? 1 : -1];
typedef char KavroTrafficRecordIs36Bytes[sizeof(TrafficRecord) == 36 ? 1 : -1];

// The rule list of slot 16 is the library's own std::vector, laid out by GCC's libstdc++
// (mingw-w64); for other compilers it stays an incomplete type (see courier.h).
#if defined(__GLIBCXX__)
typedef std::vector<FirewallRule> FirewallRuleList;
#else
struct FirewallRuleList;
#endif

// Implemented by the host. The monitor keeps plain pointers until it unloads; results
// are not used.
class INetMonitorSink {
public:
    // Slot 0. The default rule file's title (at most 60 characters), once per rule load.
    virtual void KAVRO_SLOT OnRuleSetTitle(const char* title) = 0;
    // Slot 1. One merged traffic record, on the monitor's traffic thread (every 500 ms
    // while the policy has bit 0 or bit 1 set).
    virtual void KAVRO_SLOT OnTraffic(const TrafficRecord* record) = 0;
    // Slot 2. One rule, during EnumRules.
    virtual void KAVRO_SLOT OnRule(const FirewallRule* rule) = 0;
};

// `temporary` selects a rule list: nonzero the temporary list (it lives as long as the
// library), zero the persistent list (loaded from the rule files, saved by SaveUserRules).
class INetMonitor : public IComponent {
public:
    // Slots 0 and 1 as IComponent, with the name kNetMonitorName.
    // Slot 2. Where a compiler with one destructor slot puts it. The object belongs to the
    // library: the slot frees nothing and answers the object.
    virtual void* KAVRO_SLOT DestructorSlot(unsigned flags) = 0;
    // Slot 3. Installs, starts and opens the driver, sends the configured policy, loads
    // the rules and starts the address and traffic threads. False when any step fails;
    // after a success, later calls answer true and do nothing.
    virtual bool KAVRO_SLOT Initialize() = 0;
    // Slot 4. Switches the driver's filtering on; true when the driver took it.
    virtual bool KAVRO_SLOT EnableDriver() = 0;
    // Slot 5. Switches it off; true when the driver took it.
    virtual bool KAVRO_SLOT DisableDriver() = 0;
    // Slot 6. Writes `policy` to NetWarden.cfg, then sends it; true when the driver took
    // it. Bits 0 and 1 turn traffic reports to the sinks on.
    virtual bool KAVRO_SLOT SetPolicy(int policy) = 0;
    // Slot 7. Appends a sink; call it before Initialize.
    virtual void KAVRO_SLOT AddSink(INetMonitorSink* sink) = 0;
    // Slot 8. Sends the `count` rules whose ids the list does not hold yet to the driver,
    // in batches of 100, and appends each batch the driver confirms. 1 when every rule
    // reached the driver and the list; 0 otherwise, and for no rules.
    virtual int KAVRO_SLOT AddRules(const FirewallRule* rules, unsigned int count,
                                    unsigned char temporary) = 0;
    // Slot 9. Deletes the rule from the driver, then from the list; 1 when the driver
    // accepted.
    virtual int KAVRO_SLOT DeleteRule(int ruleId, unsigned char temporary) = 0;
    // Slot 10. Sends the rule to the driver and overwrites the list's rule of the same id
    // (a rule the list does not hold is not added); true when the driver accepted.
    virtual bool KAVRO_SLOT UpdateRule(const FirewallRule* rule, unsigned char temporary) = 0;
    // Slot 11. Writes the persistent list to the user rule file u_Rules.dat; 1 when it is
    // complete on disk. 0, with the file left as it is, while a user file that could not be
    // read at Initialize is still there (its rules would be lost).
    virtual int KAVRO_SLOT SaveUserRules() = 0;
    // Slot 12. Hands each rule of the list, in order, to every sink's OnRule.
    virtual void KAVRO_SLOT EnumRules(unsigned char temporary) = 0;
    // Slot 13. True when some network adapter is up and without problems.
    virtual bool KAVRO_SLOT IsAdapterUp() = 0;
    // Slot 14. Enables every network adapter; always 0.
    virtual int KAVRO_SLOT EnableAdapters() = 0;
    // Slot 15. Mode 0 enables every network adapter, 1 disables the one with the lowest
    // instance number, 2 disables them all; always 0.
    virtual int KAVRO_SLOT SetAdapters(int mode) = 0;
    // Slot 16. Writes `list` as a user rule file at `path`; 1 when it is complete on disk.
    virtual int KAVRO_SLOT SaveRules(const char* path, const FirewallRuleList* list) = 0;

protected:
    ~INetMonitor() {}
};

#endif  // KAVRO_NETWARDEN_H
