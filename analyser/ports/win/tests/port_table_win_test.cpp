#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "ip_helper_endpoints.h"
#include "port_holder_client.h"
#include "port_table.h"
#include "process_thread_info.h"

namespace {

std::vector<OwnedEndpoint> OwnedBy(const std::vector<OwnedEndpoint>& endpoints, DWORD pid) {
    std::vector<OwnedEndpoint> owned;
    for (const OwnedEndpoint& endpoint : endpoints) {
        if (endpoint.ownerPid == pid) owned.push_back(endpoint);
    }
    return owned;
}

bool Holds(const std::vector<OwnedEndpoint>& endpoints, const HeldPort& held) {
    const int32_t protocol = held.protocol == "tcp" ? kProtocolTcp : kProtocolUdp;
    return std::any_of(endpoints.begin(), endpoints.end(), [&](const OwnedEndpoint& e) {
        return e.port == held.port && e.protocol == protocol;
    });
}

class PortTableWinTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(holder_.Start({"tcp:0", "tcp:0", "tcp:0", "udp:0"})) << holder_.Error();
        ASSERT_EQ(holder_.Ports().size(), 4u);
        std::vector<OwnedEndpoint> endpoints;
        ASSERT_TRUE(endpoints_.ListFromOwnerTables(&endpoints));
        if (OwnedBy(endpoints, holder_.Pid()).empty()) {
            GTEST_SKIP() << "GetExtendedTcpTable/GetExtendedUdpTable name no owner for the "
                            "helper's sockets on this system";
        }
    }

    PortHolder holder_;
    CIpHelperEndpoints endpoints_;
};

TEST_F(PortTableWinTest, OwnerTablesListTheHelpersSocketsWithItsId) {
    std::vector<OwnedEndpoint> endpoints;
    ASSERT_TRUE(endpoints_.ListEndpoints(kVersionDefault, &endpoints));
    const std::vector<OwnedEndpoint> owned = OwnedBy(endpoints, holder_.Pid());
    EXPECT_EQ(owned.size(), 4u);
    for (const HeldPort& held : holder_.Ports()) {
        EXPECT_TRUE(Holds(owned, held)) << held.protocol << " " << held.port;
    }
}

TEST_F(PortTableWinTest, StackTablesNeedBothFunctions) {
    HMODULE library = LoadLibraryA("iphlpapi.dll");
    ASSERT_NE(library, nullptr);
    const bool both = GetProcAddress(library, "AllocateAndGetTcpExTableFromStack") != nullptr &&
                      GetProcAddress(library, "AllocateAndGetUdpExTableFromStack") != nullptr;
    FreeLibrary(library);
    std::vector<OwnedEndpoint> endpoints;
    EXPECT_EQ(endpoints_.ListFromStackTables(&endpoints), both);
    if (!both) {
        EXPECT_TRUE(endpoints.empty());
    } else {
        EXPECT_EQ(OwnedBy(endpoints, holder_.Pid()).size(), 4u);
    }
}

TEST_F(PortTableWinTest, TableRecordsTheHelpersFourPortsUnderItsPath) {
    CProcessThreadInfo snapshot;
    ASSERT_TRUE(snapshot.Refresh());
    ProcessPathMap paths;
    ASSERT_TRUE(snapshot.GetProcessPaths(&paths));
    ASSERT_EQ(paths.count(holder_.Pid()), 1u);
    const std::string owner = paths[holder_.Pid()];

    PortTable table(&paths, &endpoints_);
    ASSERT_TRUE(table.Build());
    int count = 0;
    ASSERT_TRUE(table.CountFor(owner, &count));
    EXPECT_EQ(count, 4);

    std::vector<OwnedEndpoint> listed;
    std::string path;
    PortRecord record;
    while (table.Next(&path, &record)) {
        if (path == owner) listed.push_back({0, record.port, record.protocol});
    }
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(),
                            [](const OwnedEndpoint& e) { return e.protocol == kProtocolTcp; }),
              3);
    for (const HeldPort& held : holder_.Ports()) EXPECT_TRUE(Holds(listed, held));

    // Resolving only the owners gives the same records as the whole snapshot.
    ProcessPathMap fresh;
    PortTable resolved(&fresh, &endpoints_, &snapshot);
    ASSERT_TRUE(resolved.Build());
    ASSERT_TRUE(resolved.CountFor(owner, &count));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(fresh[holder_.Pid()], owner);
}

TEST_F(PortTableWinTest, OwnerMissingFromTheMapAddsNoRecord) {
    ProcessPathMap paths = {{GetCurrentProcessId(), "C:\\self.exe"}};
    PortTable table(&paths, &endpoints_);
    ASSERT_TRUE(table.Build());
    std::string path;
    while (table.Next(&path, nullptr)) EXPECT_EQ(path, "C:\\self.exe");
    ASSERT_EQ(paths.count(holder_.Pid()), 1u);
    EXPECT_EQ(paths[holder_.Pid()], "");
}

TEST(IpHelperVersionTest, ReadsTheSystemVersion) {
    CIpHelperEndpoints endpoints;
    SystemVersion version;
    ASSERT_TRUE(endpoints.ReadVersion(&version));
    EXPECT_EQ(version.platformId, 2u);  // the NT family
    EXPECT_GE(version.major, 5u);
}

}  // namespace
