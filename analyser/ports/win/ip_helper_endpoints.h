#pragma once
// The machine's open endpoints from IP Helper.
//
// Old systems (XP, 2003) offer the undocumented AllocateAndGet...ExTableFromStack pair;
// later systems (and Wine) lack at least one of them, so without a second way the table
// could never be built there. When either is missing the same records come from the
// documented owner tables GetExtendedTcpTable (every state) and GetExtendedUdpTable.
// Windows 2000 has neither; the documented tables stand in for its handle walk too.
#include "port_table.h"

class CIpHelperEndpoints final : public IEndpointSource {
public:
    bool ReadVersion(SystemVersion* version) override;
    bool ListEndpoints(int versionCode, std::vector<OwnedEndpoint>* endpoints) override;

    // The two ways on their own, for the tests; false when the system lacks the way.
    bool ListFromStackTables(std::vector<OwnedEndpoint>* endpoints);
    bool ListFromOwnerTables(std::vector<OwnedEndpoint>* endpoints);
};
