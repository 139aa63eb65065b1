#pragma once
// The network monitor's interface: the object itself, two IComponent slots followed by
// the monitor's operations, and the sink a host registers with it. Hosts have both from
// include/kavro/netwarden.h. Slot order is a contract with hosts built by other
// compilers: never reorder, never add a virtual destructor (GCC would give it two slots,
// other compilers one).
#include <cstdint>

#include "component.h"
#include "firewall_rule.h"
#include "kavro/netwarden.h"
#include "traffic.h"
