#include "firewall_rule.h"

namespace {

// Rule files and hosts leave a full mask as 0; the driver is always given it written out.
uint32_t DriverMask(uint32_t mask) {
    return mask == 0 ? 0xFFFFFFFFu : mask;
}

}  // namespace

DriverRule MakeDriverRule(const FirewallRule& rule) {
    DriverRule out = {};
    out.flags = rule.flags;
    out.ruleId = rule.ruleId;
    out.addressA = rule.addressA;
    out.maskA = DriverMask(rule.maskA);
    out.addressB = rule.addressB;
    out.maskB = DriverMask(rule.maskB);
    out.portALow = rule.portALow;
    out.portAHigh = rule.portAHigh;
    out.portBLow = rule.portBLow;
    out.portBHigh = rule.portBHigh;
    out.protocol = rule.protocol;
    out.valueC = rule.valueC;
    out.valueD = rule.valueD;
    return out;
}
