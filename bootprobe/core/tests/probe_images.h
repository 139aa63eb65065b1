#pragma once
// Files for the structural certificate test, with the state each one must get. The
// native tests hand them to the probe; the library tests write them to disk and ask
// CheckSign, where the system's verification cannot vouch for any of them.
#include <cstdint>
#include <string>
#include <vector>

namespace probetest {

struct ProbeCase {
    std::string name;
    std::vector<uint8_t> bytes;
    int state;  // 0 unread, 1 unsigned, 2 signed
};

// An attribute certificate header: length, revision 0x0200, type 2 (PKCS signed data).
std::vector<uint8_t> CertificateHeader();

std::vector<ProbeCase> StructuralCases();

}  // namespace probetest
