// rules: lists, adds and saves firewall rules through NetWarden.dll.
//
//   rules [list]                           the persistent rules
//   rules add NAME ADDRESS PORT tcp|udp    adds a rule for ADDRESS (a.b.c.d) and PORT
//                                          (n or n-m), saves the user rule file, lists
//
// NetWarden installs and starts the filter driver KavroFW.sys (from the system's
// drivers folder) and loads the rules named by NetWarden.cfg beside it: the user's
// u_Rules.dat in its CfgData folder when there is one, else the default a_Rules.dat.
//
// Built only against the installed kit: its headers, and NetWarden.dll beside rules.exe.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kavro/component.h"
#include "kavro/netwarden.h"

namespace {

// What the monitor hands to its sinks: the rule set's title and, during EnumRules, the
// rules. Called on the host's thread here (traffic reports are left alone).
class RuleCollector : public INetMonitorSink {
public:
    void KAVRO_SLOT OnRuleSetTitle(const char* title) { title_ = title; }
    void KAVRO_SLOT OnTraffic(const TrafficRecord*) {}
    void KAVRO_SLOT OnRule(const FirewallRule* rule) { rules_.push_back(*rule); }

    const std::string& title() const { return title_; }
    std::vector<FirewallRule>& rules() { return rules_; }

private:
    std::string title_;
    std::vector<FirewallRule> rules_;
};

// Addresses and ports travel in network byte order.
bool ParseAddress(const char* text, unsigned int* address) {
    unsigned int a, b, c, d;
    char rest;
    if (std::sscanf(text, "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) != 4 || a > 255 || b > 255 ||
        c > 255 || d > 255)
        return false;
    const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                    static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    std::memcpy(address, bytes, 4);
    return true;
}

bool ParsePorts(const char* text, unsigned short* low, unsigned short* high) {
    unsigned int first, last;
    char rest;
    const int parts = std::sscanf(text, "%u-%u%c", &first, &last, &rest);
    if (parts == 1) last = first;
    if ((parts != 1 && parts != 2) || first > 65535 || last > 65535 || last < first) return false;
    *low = static_cast<unsigned short>(first);
    *high = static_cast<unsigned short>(last);
    return true;
}

const char* ProtocolName(unsigned char protocol) {
    return protocol == 6 ? "tcp" : protocol == 17 ? "udp" : "any";
}

void List(INetMonitor* monitor, RuleCollector* sink) {
    sink->rules().clear();
    monitor->EnumRules(0);
    std::printf("rules: %u persistent rules (rule set \"%s\")\n",
                static_cast<unsigned>(sink->rules().size()), sink->title().c_str());
    for (size_t i = 0; i < sink->rules().size(); ++i) {
        const FirewallRule& rule = sink->rules()[i];
        const unsigned char* address = reinterpret_cast<const unsigned char*>(&rule.addressB);
        std::printf("  %4d  %-24.64s %u.%u.%u.%u  ports %u-%u  %s\n", rule.ruleId, rule.text,
                    address[0], address[1], address[2], address[3], rule.portBLow, rule.portBHigh,
                    ProtocolName(rule.protocol));
    }
}

// The rule, with an id after every id the list holds.
bool AddAndSave(INetMonitor* monitor, RuleCollector* sink, char** args) {
    FirewallRule rule;
    std::memset(&rule, 0, sizeof rule);
    std::strncpy(rule.text, args[0], sizeof rule.text);
    if (!ParseAddress(args[1], &rule.addressB) ||
        !ParsePorts(args[2], &rule.portBLow, &rule.portBHigh)) {
        std::fprintf(stderr, "rules: an address is a.b.c.d, a port n or n-m\n");
        return false;
    }
    rule.protocol = std::strcmp(args[3], "tcp") == 0   ? 6
                    : std::strcmp(args[3], "udp") == 0 ? 17
                                                       : 0;
    sink->rules().clear();
    monitor->EnumRules(0);
    for (size_t i = 0; i < sink->rules().size(); ++i)
        if (sink->rules()[i].ruleId >= rule.ruleId) rule.ruleId = sink->rules()[i].ruleId + 1;
    if (rule.ruleId == 0) rule.ruleId = 1;

    if (monitor->AddRules(&rule, 1, 0) != 1) {
        std::fprintf(stderr, "rules: the driver did not take rule %d\n", rule.ruleId);
        return false;
    }
    if (monitor->SaveUserRules() != 1) {
        std::fprintf(stderr, "rules: the user rule file could not be saved\n");
        return false;
    }
    std::printf("rules: added rule %d and saved the user rule file\n", rule.ruleId);
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: rules [list]\n       rules add NAME ADDRESS PORT tcp|udp\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const bool add = argc == 6 && std::strcmp(argv[1], "add") == 0;
    if (!add && !(argc == 1 || (argc == 2 && std::strcmp(argv[1], "list") == 0))) return Usage();

    // Declared before the library: NetWarden keeps a pointer to it until it unloads.
    RuleCollector sink;
    HMODULE netWarden = LoadLibraryA("NetWarden.dll");
    GetKavroComponentPtrFn factory = netWarden != NULL
                                         ? reinterpret_cast<GetKavroComponentPtrFn>(
                                               GetProcAddress(netWarden, kGetKavroComponentPtrName))
                                         : NULL;
    IComponent* component = NULL;
    INetMonitor* monitor = NULL;
    if (factory != NULL && factory(&component, NULL) != 0 && component != NULL)
        monitor = static_cast<INetMonitor*>(component->GetInterface(kNetMonitorName, 0));
    if (monitor == NULL) {
        std::fprintf(stderr, "rules: cannot load the monitor of NetWarden.dll\n");
        if (netWarden != NULL) FreeLibrary(netWarden);
        return 1;
    }

    monitor->AddSink(&sink);
    bool ok = monitor->Initialize();
    if (!ok) {
        std::fprintf(stderr,
                     "rules: the monitor did not start (is KavroFW.sys in the drivers folder, "
                     "and a_Rules.dat where NetWarden.cfg's CfgData says?)\n");
    } else {
        ok = !add || AddAndSave(monitor, &sink, argv + 2);
        List(monitor, &sink);
    }
    FreeLibrary(netWarden);
    return ok ? 0 : 1;
}
