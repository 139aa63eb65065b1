#include "backdoor_ports.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "crc32.h"

namespace {

TEST(BackdoorPortsTest, TableHoldsTheKnownRows) {
    int tcp = 0;
    int udp = 0;
    std::map<std::pair<std::string, uint32_t>, int> seen;
    for (const BackdoorPortRecord& record : kBackdoorPorts) {
        ASSERT_EQ(record.protocol[3], '\0');
        ASSERT_NE(memchr(record.programs, '\0', sizeof(record.programs)), nullptr);
        const std::string protocol = record.protocol;
        if (protocol == "TCP") ++tcp;
        if (protocol == "UDP") ++udp;
        EXPECT_GE(record.port, 1024u);
        EXPECT_LE(record.port, 65535u);
        ++seen[{protocol, record.port}];
    }
    EXPECT_EQ(sizeof(kBackdoorPorts) / sizeof(kBackdoorPorts[0]), 433u);
    EXPECT_EQ(tcp, 312);
    EXPECT_EQ(udp, 121);
    // Every key once, but TCP 7001 twice.
    EXPECT_EQ(seen.size(), 432u);
    EXPECT_EQ((seen[{"TCP", 7001}]), 2);
}

// Every row is found by its own key (the first of the two TCP 7001 rows by both), and the
// keys stand in their published order: any key changed, lost or moved changes the
// checksum of "protocol port" lines.
TEST(BackdoorPortsTest, EveryRowIsFoundByItsKey) {
    std::string keys;
    for (const BackdoorPortRecord& record : kBackdoorPorts) {
        const BackdoorPortRecord* found = FindBackdoorPort(record.protocol, record.port);
        ASSERT_NE(nullptr, found) << record.protocol << " " << record.port;
        EXPECT_EQ(record.port, found->port);
        EXPECT_STREQ(record.protocol, found->protocol);
        EXPECT_LE(found, &record);
        keys += std::string(record.protocol) + " " + std::to_string(record.port) + "\n";
    }
    uint32_t crc = 0;
    CCRC32().Compute(keys.data(), static_cast<uint32_t>(keys.size()), &crc);
    EXPECT_EQ(0x061C9400u, crc);
}

TEST(BackdoorPortsTest, RowsStandInTheirOrderWithTheirNames) {
    // TCP keys first, then UDP; a few rows sit out of numeric order and stay
    // there.
    EXPECT_STREQ(kBackdoorPorts[0].protocol, "TCP");
    EXPECT_EQ(kBackdoorPorts[0].port, 1024u);
    EXPECT_STREQ(kBackdoorPorts[0].programs, "NetSpy.698(YAI)");
    EXPECT_EQ(kBackdoorPorts[108].port, 6272u);
    EXPECT_EQ(kBackdoorPorts[109].port, 6267u);
    EXPECT_EQ(kBackdoorPorts[311].port, 65535u);
    EXPECT_STREQ(kBackdoorPorts[312].protocol, "UDP");
    EXPECT_EQ(kBackdoorPorts[312].port, 1025u);
    EXPECT_EQ(kBackdoorPorts[432].port, 61748u);
    EXPECT_STREQ(kBackdoorPorts[432].programs, "KiLO");

    EXPECT_STREQ(FindBackdoorPort("TCP", 27374)->programs, "Sub Seven 2.0+");
    EXPECT_STREQ(FindBackdoorPort("TCP", 31337)->programs,
                 "Baron Night,BO client,BO2,Bo Facil,BackFire,Back Orifice,DeepBO,Freak2k,"
                 "NetSpy");
    EXPECT_STREQ(FindBackdoorPort("UDP", 54321)->programs, "Back Orifice 2000");
}

TEST(BackdoorPortsTest, SearchMatchesProtocolNameAndPort) {
    EXPECT_NE(FindBackdoorPort("TCP", 8080), nullptr);
    EXPECT_EQ(FindBackdoorPort("UDP", 8080), nullptr);
    EXPECT_EQ(FindBackdoorPort("tcp", 8080), nullptr);
    EXPECT_EQ(FindBackdoorPort("TCP", 8081), nullptr);
    EXPECT_EQ(FindBackdoorPort(nullptr, 8080), nullptr);
    // The first of the two TCP 7001 rows.
    const BackdoorPortRecord* first = FindBackdoorPort("TCP", 7001);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, &kBackdoorPorts[133]);
}

}  // namespace
