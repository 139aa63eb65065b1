// The address block, the adapter choice and the configuration path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "adapter_choice.h"
#include "address_block.h"
#include "config_path.h"

namespace {

TEST(AddressBlock, FirstSixteenAddressesInNetworkOrderRestZero) {
    std::vector<std::string> twenty;
    for (int i = 1; i <= 20; ++i) twenty.push_back("10.0.1." + std::to_string(i));
    const AddressBlock block = BuildAddressBlock(twenty);
    for (size_t i = 0; i < 16; ++i) {
        const uint8_t expected[4] = {10, 0, 1, static_cast<uint8_t>(i + 1)};
        EXPECT_EQ(0, std::memcmp(expected, block.data() + 4 * i, 4)) << i;
    }

    const AddressBlock two = BuildAddressBlock({"192.168.0.7", "255.0.0.1"});
    const uint8_t expected[8] = {192, 168, 0, 7, 255, 0, 0, 1};
    EXPECT_EQ(0, std::memcmp(expected, two.data(), 8));
    for (size_t i = 8; i < two.size(); ++i) EXPECT_EQ(0, two[i]) << i;

    uint8_t bytes[4];
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.", "1.2.3.256", "1..2.3", "1.2.3.4x", "1234.1.1.1"})
        EXPECT_FALSE(ParseDottedAddress(bad, bytes)) << bad;
    const AddressBlock skipped = BuildAddressBlock({"1.2.3", "9.8.7.6"});
    EXPECT_EQ(9, skipped[0]);
}

DeviceFacts Adapter(uint32_t devInst, uint32_t status = kAdapterUpStatus,
                    const char* classValue = "Net") {
    DeviceFacts facts;
    facts.classGuid = kNetClassGuid;
    facts.classValueRead = classValue != nullptr;
    facts.classValue = classValue != nullptr ? classValue : "";
    facts.statusRead = true;
    facts.status = status;
    facts.devInst = devInst;
    return facts;
}

DeviceFacts OtherDevice(uint32_t devInst) {
    DeviceFacts facts = Adapter(devInst);
    facts.classGuid = "{4D36E968-E325-11CE-BFC1-08002BE10318}";
    return facts;
}

TEST(AdapterChoice, UpMeansANetworkAdapterWithExactlyTheStartedStatus) {
    DeviceFacts problem = Adapter(3);
    problem.problem = 22;
    DeviceFacts unread = Adapter(4);
    unread.statusRead = false;
    struct Case {
        const char* what;
        std::vector<DeviceFacts> devices;
        bool up;
    } cases[] = {
        {"the only adapter is started", {Adapter(3)}, true},
        {"the only adapter is disabled", {Adapter(3, 0x01802400 | 0x400)}, false},
        {"status with one more bit", {Adapter(3, kAdapterUpStatus | 0x1)}, false},
        {"a problem code", {problem}, false},
        {"status not read", {unread}, false},
        {"started device of another class", {OtherDevice(2)}, false},
        {"class key not needed for the test", {Adapter(3, kAdapterUpStatus, nullptr)}, true},
        {"no devices", {}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.up, AnyAdapterUp(c.devices)) << c.what;
}

TEST(AdapterChoice, ModesPickTheirAdapters) {
    const std::vector<DeviceFacts> devices = {
        OtherDevice(5),       Adapter(10000),         Adapter(42),
        Adapter(7, 0, "net"), Adapter(9, 0, nullptr), Adapter(60)};
    struct Case {
        const char* what;
        std::vector<DeviceFacts> devices;
        int mode;
        std::vector<size_t> chosen;
        bool enable;
    } cases[] = {
        {"enable: class key must say Net exactly", devices, 0, {1, 2, 5}, true},
        {"disable all the same set", devices, 2, {1, 2, 5}, false},
        {"disable one: lowest instance below 10000, class key not needed", devices, 1, {3}, false},
        {"disable one: 10000 is excluded", {Adapter(10000), OtherDevice(1)}, 1, {}, false},
        {"disable one: 9999 is in", {Adapter(10000), Adapter(9999)}, 1, {1}, false},
        {"no adapter: mode 1 changes nothing", {OtherDevice(1)}, 1, {}, false},
        {"mode 3 does nothing", devices, 3, {}, false},
        {"mode -1 does nothing", devices, -1, {}, false},
    };
    for (const Case& c : cases) {
        const std::vector<AdapterChange> changes = ChooseAdapterChanges(c.devices, c.mode);
        ASSERT_EQ(c.chosen.size(), changes.size()) << c.what;
        for (size_t i = 0; i < changes.size(); ++i) {
            EXPECT_EQ(c.chosen[i], changes[i].device) << c.what;
            EXPECT_EQ(c.enable, changes[i].enable) << c.what;
        }
    }
}

TEST(AdapterChoice, GuidTextIsBracedUpperCase) {
    const uint8_t tail[8] = {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
    EXPECT_EQ(kNetClassGuid, GuidText(0x4D36E972, 0xE325, 0x11CE, tail));
    const uint8_t zeros[8] = {};
    EXPECT_EQ("{0000000A-000B-000C-0000-000000000000}", GuidText(10, 11, 12, zeros));
}

TEST(ConfigurationPath, ReplacesTheLibraryExtensionOnly) {
    struct Case {
        const char* library;
        const char* configuration;
    } cases[] = {
        {"C:\\Suite\\NetWarden.dll", "C:\\Suite\\NetWarden.cfg"},
        {"C:\\Suite\\NETWARDEN.DLL", "C:\\Suite\\NETWARDEN.cfg"},
        {"C:\\Suite\\NetWarden.Dll", "C:\\Suite\\NetWarden.cfg"},
        {"C:\\x.dll\\NetWarden.dll", "C:\\x.dll\\NetWarden.cfg"},
        {"C:\\x.dll\\NetWarden", "C:\\x.dll\\NetWarden.cfg"},
        {"C:\\x.dll\\NetWarden.ocx", "C:\\x.dll\\NetWarden.ocx.cfg"},
        {"C:\\Suite\\NetWarden.dll.bak", "C:\\Suite\\NetWarden.dll.bak.cfg"},
        {"NetWarden.dll", "NetWarden.cfg"},
        {"dll", "dll.cfg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.configuration, ConfigurationPathFor(c.library)) << c.library;
}

}  // namespace
