// The identifier's reader against registry keys the tests write under HKEY_CURRENT_USER,
// and against the machine's own sources under Wine.
#include <windows.h>

#include <iphlpapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "machine_id_win.h"
#include "win32/handles.h"

namespace {

const char kTestRoot[] = "Software\\KvUserTagTest";
const char kFirmwareKey[] = "Software\\KvUserTagTest\\System";
const char kProcessorKey[] = "Software\\KvUserTagTest\\System\\CentralProcessor\\0";

class MachineFactsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
        sources_.root = HKEY_CURRENT_USER;
        sources_.firmwareKey = kFirmwareKey;
        sources_.processorKey = kProcessorKey;
        sources_.smartDevice = "\\\\.\\KvNoSuchDisk";
        sources_.scsiDevice = "\\\\.\\KvNoSuchPort";
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot); }

    void SetValue(const char* key, const char* name, DWORD type, const std::string& data) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &created, nullptr),
                  ERROR_SUCCESS);
        UniqueKey owner(created);
        ASSERT_EQ(RegSetValueExA(created, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }

    MachineIdSources sources_;
};

}  // namespace

TEST_F(MachineFactsTest, RegistryTextsEndAtTheFirstZeroWithinTheirBuffer) {
    const std::string full(1024, 'F');
    SetValue(kFirmwareKey, "SystemBiosDate", REG_SZ, std::string("01/02/03") + '\0');
    SetValue(kFirmwareKey, "SystemBiosVersion", REG_MULTI_SZ, std::string("first\0second\0\0", 14));
    SetValue(kFirmwareKey, "VideoBiosVersion", REG_BINARY, full);         // no zero anywhere
    SetValue(kProcessorKey, "VendorIdentifier", REG_BINARY, full + "G");  // one byte too long
    SetValue(kProcessorKey, "Identifier", REG_BINARY, "");
    SetValue(kProcessorKey, "ProcessorNameString", REG_DWORD, std::string("\x41\x42\0\0", 4));

    const MachineFacts facts = ReadMachineFacts(sources_);
    EXPECT_EQ(facts.biosDate, "01/02/03");
    EXPECT_EQ(facts.biosVersion, "first");
    EXPECT_EQ(facts.videoBiosVersion, full);
    EXPECT_EQ(facts.processorVendor, "");
    EXPECT_EQ(facts.processorIdentifier, "");
    EXPECT_EQ(facts.processorName, "AB");
    EXPECT_EQ(facts.diskModel, "");
}

TEST_F(MachineFactsTest, MissingKeysAreEmptyTexts) {
    SetValue(kFirmwareKey, "SystemBiosDate", REG_SZ, "only this");
    const MachineFacts facts = ReadMachineFacts(sources_);
    EXPECT_EQ(facts.biosDate, "only this");
    EXPECT_EQ(facts.biosVersion + facts.videoBiosVersion + facts.processorVendor +
                  facts.processorIdentifier + facts.processorName,
              "");
}

TEST(MachineId, ComputedIntoTheCallersBuffer) {
    char buffer[48];
    std::memset(buffer, 0x5A, sizeof(buffer));
    EXPECT_FALSE(ComputeMachineId(buffer, 31));
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(sizeof(buffer), 0x5A));

    ASSERT_TRUE(ComputeMachineId(buffer, 40));
    const std::string digits = MachineIdDigits(ReadMachineFacts());
    EXPECT_EQ(std::string(buffer, 16), digits);
    EXPECT_EQ(std::string(buffer + 16, 24), std::string(24, '\0'));
    EXPECT_EQ(buffer[40], 0x5A);
    EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

// The adapter on LANA 0 is one that has an IPv4 address; the adapter table lists the same
// adapters with their hardware addresses.
TEST(MachineId, AdapterAddressIsOneTheAdapterTableReports) {
    ULONG size = 0;
    std::vector<std::string> addressed;
    if (GetAdaptersInfo(nullptr, &size) == ERROR_BUFFER_OVERFLOW) {
        std::vector<char> buffer(size);
        auto* adapter = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
        ASSERT_EQ(GetAdaptersInfo(adapter, &size), static_cast<DWORD>(ERROR_SUCCESS));
        for (; adapter != nullptr; adapter = adapter->Next) {
            if (adapter->AddressLength == 6 &&
                std::strcmp(adapter->IpAddressList.IpAddress.String, "0.0.0.0") != 0) {
                addressed.push_back(FormatAdapterAddress(adapter->Address));
            }
        }
    }
    const std::string address = ReadMachineFacts().adapterAddress;
    if (addressed.empty()) {
        EXPECT_EQ(address, "");
        GTEST_SKIP() << "no adapter with an IPv4 address: LANA 0 has nothing to name";
    }
    EXPECT_NE(std::find(addressed.begin(), addressed.end(), address), addressed.end())
        << "\"" << address << "\" is none of the " << addressed.size() << " in the table";
}
