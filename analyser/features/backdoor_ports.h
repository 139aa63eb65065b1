#pragma once
// Ports that backdoor programs are known to listen on.
#include <cstddef>
#include <cstdint>

// One row as the table has always been laid out: 264 bytes.
struct BackdoorPortRecord {
    char protocol[4];  // "TCP" or "UDP"
    uint32_t port;
    char programs[256];  // names of the programs known to listen there;
                         // informative only
};
static_assert(sizeof(BackdoorPortRecord) == 264, "row size");
static_assert(offsetof(BackdoorPortRecord, port) == 4, "port offset");
static_assert(offsetof(BackdoorPortRecord, programs) == 8, "names offset");

constexpr int kBackdoorPortCount = 433;
extern const BackdoorPortRecord kBackdoorPorts[kBackdoorPortCount];

// The first row with this protocol name ("TCP", "UDP") and port, or null.
const BackdoorPortRecord* FindBackdoorPort(const char* protocol, uint32_t port);
