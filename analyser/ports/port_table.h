#pragma once
// The machine's open TCP and UDP ports, each under the image path of its owner.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "process_helper.h"

constexpr int32_t kProtocolTcp = 1;
constexpr int32_t kProtocolUdp = 2;

struct PortRecord {
    int32_t port = 0;      // local port, host order
    int32_t protocol = 0;  // kProtocolTcp or kProtocolUdp
};

// One open endpoint as the system lists it.
struct OwnedEndpoint {
    uint32_t ownerPid = 0;
    int32_t port = 0;
    int32_t protocol = 0;
};

// The version facts the table chooses its method by.
struct SystemVersion {
    uint32_t platformId = 0;  // 1 for the 9x family, 2 for NT
    uint32_t major = 0;
    uint32_t minor = 0;
};

// 9x: 0 (4.0), 1 (4.10), 2 (4.90); NT: 3, 4, 5 (2000), 6 (XP), 7 (2003). Anything
// else is taken for XP (6).
int ClassifySystemVersion(const SystemVersion& version);
constexpr int kVersionWindows2000 = 5;
constexpr int kVersionDefault = 6;

// Where the table gets its endpoints from; the Windows build asks IP Helper.
class IEndpointSource {
public:
    // False when the version cannot be read; the table then keeps the default.
    virtual bool ReadVersion(SystemVersion* version) = 0;
    // Every open IPv4 endpoint of the machine with its owner, for the version code.
    // False when the system cannot list them.
    virtual bool ListEndpoints(int versionCode, std::vector<OwnedEndpoint>* endpoints) = 0;

protected:
    ~IEndpointSource() = default;
};

class PortTable {
public:
    // `paths` is the caller's id-to-path map, filled from the snapshot before Build.
    // With `resolver`, owners that `paths` lacks are looked up before the records are
    // made, and only those; without it they count as unknown.
    PortTable(ProcessPathMap* paths, IEndpointSource* source,
              IProcessImagePaths* resolver = nullptr);
    // The cursor points into the records: a copy would point into the wrong table.
    PortTable(const PortTable&) = delete;
    PortTable& operator=(const PortTable&) = delete;

    // Lists the endpoints and records each under its owner's path. Endpoints whose
    // owner has no known path are left out (and the owner is entered in `paths` with
    // an empty path). False when the endpoints cannot be listed.
    bool Build();
    // The next record in (path, port, protocol) order; false at the end.
    bool Next(std::string* path, PortRecord* record);
    // Number of records whose owner path begins with `path`; false for an empty table.
    bool CountFor(const std::string& path, int* count) const;

    size_t Size() const { return records_.size(); }

private:
    struct Entry {
        std::string path;
        PortRecord record;
        bool operator<(const Entry& other) const;
    };
    using Records = std::multiset<Entry>;

    void Record(uint32_t ownerPid, int32_t port, int32_t protocol);

    ProcessPathMap* paths_;
    IEndpointSource* source_;
    IProcessImagePaths* resolver_;
    int versionCode_ = kVersionDefault;
    Records records_;
    Records::const_iterator cursor_;
};

// Decodes an owner table of IP Helper: a 32-bit row count, then rows of `fieldsPerRow`
// 32-bit fields of which `portField` is the local port (network order in its low 16
// bits) and `pidField` the owner id. The count is clamped to the rows the bytes hold.
constexpr int kTcpOwnerRowFields = 6;  // state, local address, local port, remote
                                       // address, remote port, owner
constexpr int kTcpPortField = 2;
constexpr int kTcpOwnerField = 5;
constexpr int kUdpOwnerRowFields = 3;  // local address, local port, owner
constexpr int kUdpPortField = 1;
constexpr int kUdpOwnerField = 2;
void DecodeOwnerTable(const uint8_t* data, size_t size, int fieldsPerRow, int portField,
                      int pidField, int32_t protocol, std::vector<OwnedEndpoint>* endpoints);
