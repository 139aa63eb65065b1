#pragma once
// The firewall rule as hosts, rule files and the lists hold it, and the driver's form of
// it. Both are fixed binary layouts shared with hosts and the driver.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kavro/netwarden.h"

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "rule records are stored as little-endian memory images"
#endif

// FirewallRule, 112 bytes: the same in memory, in both rule files and in the list
// operations' arguments (hosts pass arrays of it). Hosts have it from
// include/kavro/netwarden.h; its offsets are pinned here.
static_assert(sizeof(FirewallRule) == 112, "FirewallRule is 112 bytes");
static_assert(offsetof(FirewallRule, state) == 0, "state");
static_assert(offsetof(FirewallRule, flags) == 4, "flags");
static_assert(offsetof(FirewallRule, text) == 8, "text");
static_assert(offsetof(FirewallRule, ruleId) == 72, "ruleId");
static_assert(offsetof(FirewallRule, addressA) == 76, "addressA");
static_assert(offsetof(FirewallRule, maskA) == 80, "maskA");
static_assert(offsetof(FirewallRule, addressB) == 84, "addressB");
static_assert(offsetof(FirewallRule, maskB) == 88, "maskB");
static_assert(offsetof(FirewallRule, portALow) == 92, "portALow");
static_assert(offsetof(FirewallRule, portAHigh) == 94, "portAHigh");
static_assert(offsetof(FirewallRule, portBLow) == 96, "portBLow");
static_assert(offsetof(FirewallRule, portBHigh) == 98, "portBHigh");
static_assert(offsetof(FirewallRule, protocol) == 100, "protocol");
static_assert(offsetof(FirewallRule, unused) == 101, "unused");
static_assert(offsetof(FirewallRule, valueC) == 104, "valueC");
static_assert(offsetof(FirewallRule, valueD) == 108, "valueD");

// 44 bytes: one rule as the driver takes it.
struct DriverRule {
    uint32_t flags;
    int32_t ruleId;
    uint32_t addressA;
    uint32_t maskA;
    uint32_t addressB;
    uint32_t maskB;
    uint16_t portALow;
    uint16_t portAHigh;
    uint16_t portBLow;
    uint16_t portBHigh;
    uint8_t protocol;
    uint8_t zero[3];
    uint32_t valueC;
    uint32_t valueD;
};

static_assert(sizeof(DriverRule) == 44, "DriverRule is 44 bytes");
static_assert(offsetof(DriverRule, flags) == 0, "flags");
static_assert(offsetof(DriverRule, ruleId) == 4, "ruleId");
static_assert(offsetof(DriverRule, addressA) == 8, "addressA");
static_assert(offsetof(DriverRule, maskA) == 12, "maskA");
static_assert(offsetof(DriverRule, addressB) == 16, "addressB");
static_assert(offsetof(DriverRule, maskB) == 20, "maskB");
static_assert(offsetof(DriverRule, portALow) == 24, "portALow");
static_assert(offsetof(DriverRule, portAHigh) == 26, "portAHigh");
static_assert(offsetof(DriverRule, portBLow) == 28, "portBLow");
static_assert(offsetof(DriverRule, portBHigh) == 30, "portBHigh");
static_assert(offsetof(DriverRule, protocol) == 32, "protocol");
static_assert(offsetof(DriverRule, zero) == 33, "zero");
static_assert(offsetof(DriverRule, valueC) == 36, "valueC");
static_assert(offsetof(DriverRule, valueD) == 40, "valueD");

// The component's rule lists (the persistent and the temporary one).
using RuleList = FirewallRuleList;

DriverRule MakeDriverRule(const FirewallRule& rule);
