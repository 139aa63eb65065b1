#include "port_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

namespace {

class FakeEndpoints final : public IEndpointSource {
public:
    bool ReadVersion(SystemVersion* version) override {
        *version = version_;
        return true;
    }
    bool ListEndpoints(int versionCode, std::vector<OwnedEndpoint>* endpoints) override {
        askedCode = versionCode;
        if (!answer) return false;
        *endpoints = endpoints_;
        return true;
    }

    SystemVersion version_{2, 6, 1};
    std::vector<OwnedEndpoint> endpoints_;
    bool answer = true;
    int askedCode = -1;
};

class FakeResolver final : public IProcessImagePaths {
public:
    bool ResolveImagePaths(const std::vector<uint32_t>& pids, ProcessPathMap* paths) override {
        asked = pids;
        for (uint32_t pid : pids) {
            auto found = known.find(pid);
            if (found != known.end()) (*paths)[pid] = found->second;
        }
        return true;
    }
    ProcessPathMap known;
    std::vector<uint32_t> asked;
};

using Listed = std::vector<std::pair<std::string, std::pair<int, int>>>;

Listed ListAll(PortTable* table) {
    Listed listed;
    std::string path;
    PortRecord record;
    while (table->Next(&path, &record)) listed.push_back({path, {record.port, record.protocol}});
    return listed;
}

TEST(PortTableTest, ThreeTcpAndOneUdpPortGiveFourRecordsUnderTheOwner) {
    FakeEndpoints source;
    source.endpoints_ = {{40, 5000, 1}, {40, 1200, 1}, {40, 5000, 2}, {40, 80, 1}};
    ProcessPathMap paths = {{40, "C:\\x\\srv.exe"}};
    PortTable table(&paths, &source);
    ASSERT_TRUE(table.Build());
    EXPECT_EQ(ListAll(&table), (Listed{{"C:\\x\\srv.exe", {80, 1}},
                                       {"C:\\x\\srv.exe", {1200, 1}},
                                       {"C:\\x\\srv.exe", {5000, 1}},
                                       {"C:\\x\\srv.exe", {5000, 2}}}));
    std::string path;
    EXPECT_FALSE(table.Next(&path, nullptr));  // stays at the end
    int count = 0;
    ASSERT_TRUE(table.CountFor("C:\\x\\srv.exe", &count));
    EXPECT_EQ(count, 4);
}

TEST(PortTableTest, RecordsRunInPathPortProtocolOrderAndKeepDuplicates) {
    FakeEndpoints source;
    source.endpoints_ = {{2, 9, 2}, {1, 9, 1}, {2, 9, 1}, {2, 3, 2}, {2, 9, 1}};
    ProcessPathMap paths = {{1, "b"}, {2, "a"}};
    PortTable table(&paths, &source);
    ASSERT_TRUE(table.Build());
    EXPECT_EQ(ListAll(&table),
              (Listed{{"a", {3, 2}}, {"a", {9, 1}}, {"a", {9, 1}}, {"a", {9, 2}}, {"b", {9, 1}}}));
}

TEST(PortTableTest, UnknownOwnerIsEnteredEmptyAndNotRecorded) {
    FakeEndpoints source;
    source.endpoints_ = {{4, 445, 1}, {40, 6000, 1}, {41, 6001, 1}};
    ProcessPathMap paths = {{40, "C:\\a.exe"}, {41, ""}};
    PortTable table(&paths, &source);
    ASSERT_TRUE(table.Build());
    EXPECT_EQ(ListAll(&table), (Listed{{"C:\\a.exe", {6000, 1}}}));
    ASSERT_EQ(paths.count(4), 1u);
    EXPECT_EQ(paths[4], "");
}

TEST(PortTableTest, CountForIsAPrefixCountOverTheWholeTable) {
    FakeEndpoints source;
    source.endpoints_ = {{1, 1, 1}, {2, 2, 1}, {2, 3, 2}, {3, 4, 1}};
    ProcessPathMap paths = {
        {1, "C:\\x\\srv.exe"}, {2, "C:\\x\\srv.exe.bak"}, {3, "C:\\x\\SRV.exe"}};
    PortTable table(&paths, &source);
    ASSERT_TRUE(table.Build());
    int count = -1;
    ASSERT_TRUE(table.CountFor("C:\\x\\srv.exe", &count));
    EXPECT_EQ(count, 3);  // its own record and the two of the longer path
    ASSERT_TRUE(table.CountFor("C:\\x\\srv.exe.bak", &count));
    EXPECT_EQ(count, 2);
    ASSERT_TRUE(table.CountFor("", &count));
    EXPECT_EQ(count, 4);
    ASSERT_TRUE(table.CountFor("D:\\", &count));
    EXPECT_EQ(count, 0);
}

TEST(PortTableTest, EmptyTableAndFailedListingAnswerFalse) {
    FakeEndpoints source;
    ProcessPathMap paths;
    PortTable table(&paths, &source);
    ASSERT_TRUE(table.Build());
    int count = 7;
    EXPECT_FALSE(table.CountFor("x", &count));
    EXPECT_EQ(count, 7);

    source.answer = false;
    EXPECT_FALSE(table.Build());
    PortTable withoutMap(nullptr, &source);
    EXPECT_FALSE(withoutMap.Build());
}

TEST(PortTableTest, ResolverIsAskedOnlyForOwnersTheMapLacks) {
    FakeEndpoints source;
    source.endpoints_ = {{10, 1, 1}, {11, 2, 1}, {11, 3, 2}, {12, 4, 1}};
    FakeResolver resolver;
    resolver.known = {{11, "C:\\b.exe"}, {10, "not asked"}};
    ProcessPathMap paths = {{10, "C:\\a.exe"}};
    PortTable table(&paths, &source, &resolver);
    ASSERT_TRUE(table.Build());
    EXPECT_THAT(resolver.asked, testing::ElementsAre(11u, 12u));
    EXPECT_EQ(ListAll(&table),
              (Listed{{"C:\\a.exe", {1, 1}}, {"C:\\b.exe", {2, 1}}, {"C:\\b.exe", {3, 2}}}));
    EXPECT_EQ(paths[12], "");
}

TEST(PortTableTest, VersionCodesFollowPlatformAndVersion) {
    EXPECT_EQ(ClassifySystemVersion({1, 4, 0}), 0);
    EXPECT_EQ(ClassifySystemVersion({1, 4, 10}), 1);
    EXPECT_EQ(ClassifySystemVersion({1, 4, 90}), 2);
    EXPECT_EQ(ClassifySystemVersion({1, 4, 50}), 6);
    EXPECT_EQ(ClassifySystemVersion({2, 3, 51}), 3);
    EXPECT_EQ(ClassifySystemVersion({2, 4, 0}), 4);
    EXPECT_EQ(ClassifySystemVersion({2, 5, 0}), 5);
    EXPECT_EQ(ClassifySystemVersion({2, 5, 1}), 6);
    EXPECT_EQ(ClassifySystemVersion({2, 5, 2}), 7);
    EXPECT_EQ(ClassifySystemVersion({2, 6, 1}), 6);
    EXPECT_EQ(ClassifySystemVersion({2, 10, 0}), 6);
    EXPECT_EQ(ClassifySystemVersion({0, 5, 0}), 6);
}

TEST(PortTableTest, BuildHandsTheVersionCodeToTheSource) {
    FakeEndpoints source;
    source.version_ = {2, 5, 0};
    ProcessPathMap paths;
    PortTable table(&paths, &source);
    ASSERT_TRUE(table.Build());
    EXPECT_EQ(source.askedCode, kVersionWindows2000);
}

void Put32(std::vector<uint8_t>* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

TEST(OwnerTableTest, DecodesTcpRowsWithTheirPortInNetworkOrder) {
    std::vector<uint8_t> bytes;
    Put32(&bytes, 2);
    // state, local address, local port (0x7A69 = 31337 in network order), remote..., owner
    for (uint32_t field : {2u, 0x0100007Fu, 0x0000697Au, 0u, 0u, 1234u}) Put32(&bytes, field);
    for (uint32_t field : {5u, 0x0100007Fu, 0xBEEF901Fu, 0u, 0u, 99u}) Put32(&bytes, field);
    std::vector<OwnedEndpoint> endpoints;
    DecodeOwnerTable(bytes.data(), bytes.size(), kTcpOwnerRowFields, kTcpPortField, kTcpOwnerField,
                     kProtocolTcp, &endpoints);
    ASSERT_EQ(endpoints.size(), 2u);
    EXPECT_EQ(endpoints[0].port, 31337);
    EXPECT_EQ(endpoints[0].ownerPid, 1234u);
    EXPECT_EQ(endpoints[0].protocol, kProtocolTcp);
    EXPECT_EQ(endpoints[1].port, 8080);  // the high half of the field is not the port
    EXPECT_EQ(endpoints[1].ownerPid, 99u);
}

TEST(OwnerTableTest, RowCountIsClampedToTheBytesPresent) {
    std::vector<uint8_t> bytes;
    Put32(&bytes, 0xFFFFFFFFu);
    for (uint32_t field : {0x0100007Fu, 0x00000604u, 7u}) Put32(&bytes, field);
    for (uint32_t field : {0x0100007Fu, 0x00000604u}) Put32(&bytes, field);  // cut row
    std::vector<OwnedEndpoint> endpoints;
    DecodeOwnerTable(bytes.data(), bytes.size(), kUdpOwnerRowFields, kUdpPortField, kUdpOwnerField,
                     kProtocolUdp, &endpoints);
    ASSERT_EQ(endpoints.size(), 1u);
    EXPECT_EQ(endpoints[0].port, 1030);
    EXPECT_EQ(endpoints[0].ownerPid, 7u);
    EXPECT_EQ(endpoints[0].protocol, kProtocolUdp);

    endpoints.clear();
    DecodeOwnerTable(bytes.data(), 3, kUdpOwnerRowFields, kUdpPortField, kUdpOwnerField,
                     kProtocolUdp, &endpoints);
    DecodeOwnerTable(nullptr, 100, kUdpOwnerRowFields, kUdpPortField, kUdpOwnerField, kProtocolUdp,
                     &endpoints);
    DecodeOwnerTable(bytes.data(), bytes.size(), 3, 3, 2, kProtocolUdp, &endpoints);
    EXPECT_TRUE(endpoints.empty());
}

}  // namespace
