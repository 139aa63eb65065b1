// The adapter operations through the library, over a network device and class key that
// the test makes (the platform lists no network device of its own) and removes.
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <string>

#include "netwarden_host_win.h"
#include "program_folder_win.h"

namespace {

const GUID kNetClass = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr char kClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";

class TestNetDevice {
public:
    TestNetDevice() {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kClassKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition) != ERROR_SUCCESS)
            return;
        createdClassKey_ = disposition == REG_CREATED_NEW_KEY;
        if (createdClassKey_)
            RegSetValueExA(key, "Class", 0, REG_SZ, reinterpret_cast<const BYTE*>("Net"), 4);
        RegCloseKey(key);

        set_ = SetupDiCreateDeviceInfoList(&kNetClass, nullptr);
        device_.cbSize = sizeof device_;
        if (set_ == INVALID_HANDLE_VALUE ||
            !SetupDiCreateDeviceInfoA(set_, "NET", &kNetClass, nullptr, nullptr, DICD_GENERATE_ID,
                                      &device_) ||
            !SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr))
            return;
        registered_ = true;
        char id[MAX_DEVICE_ID_LEN] = {};
        ok_ =
            SetupDiGetDeviceInstanceIdA(set_, &device_, id, sizeof id, nullptr) && FindPresent(id);
    }
    ~TestNetDevice() {
        if (registered_) SetupDiRemoveDevice(set_, &device_);
        if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
        if (createdClassKey_) RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClassKey);
    }
    bool ok() const { return ok_; }
    // Status and problem, or false when the platform cannot tell.
    bool Status(ULONG* status, ULONG* problem) const {
        return CM_Get_DevNode_Status(status, problem, devInst_, 0) == CR_SUCCESS;
    }

private:
    // The device as the library sees it: among all present devices.
    bool FindPresent(const std::string& id) {
        HDEVINFO all =
            SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        if (all == INVALID_HANDLE_VALUE) return false;
        SP_DEVINFO_DATA data = {};
        data.cbSize = sizeof data;
        bool found = false;
        for (DWORD i = 0; !found && SetupDiEnumDeviceInfo(all, i, &data); ++i) {
            char other[MAX_DEVICE_ID_LEN] = {};
            found = SetupDiGetDeviceInstanceIdA(all, &data, other, sizeof other, nullptr) &&
                    id == other;
            if (found) devInst_ = data.DevInst;
        }
        SetupDiDestroyDeviceInfoList(all);
        return found;
    }

    bool createdClassKey_ = false;
    bool registered_ = false;
    bool ok_ = false;
    HDEVINFO set_ = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device_ = {};
    DEVINST devInst_ = 0;
};

TEST(NetWardenAdapters, OperationsRunOverADriverlessNetworkDevice) {
    TestNetDevice device;
    ASSERT_TRUE(device.ok());
    NetWardenHost host(kvtest::BesideProgram("NetWarden.dll"));
    ASSERT_TRUE(host.loaded());
    // The device has no driver, so it is not started: not up.
    EXPECT_FALSE(host.IsAdapterUp());
    for (int mode : {0, 1, 2, 3, -1}) EXPECT_EQ(0, host.SetAdapters(mode)) << mode;
    EXPECT_EQ(0, host.EnableAdapters());
    ULONG status = 0, problem = 0;
    EXPECT_TRUE(device.Status(&status, &problem)) << "still present";
}

TEST(NetWardenAdapters, DisableAndEnableChangeTheDeviceState) {
    TestNetDevice device;
    ASSERT_TRUE(device.ok());
    ULONG status = 0, problem = 0;
    ASSERT_TRUE(device.Status(&status, &problem));
    if (status == 0)
        GTEST_SKIP() << "this platform answers every device-node status with 0 and has no "
                        "property change through the class installer: no state to watch";
    NetWardenHost host(kvtest::BesideProgram("NetWarden.dll"));
    ASSERT_TRUE(host.loaded());
    host.SetAdapters(2);
    ASSERT_TRUE(device.Status(&status, &problem));
    EXPECT_EQ(static_cast<ULONG>(CM_PROB_DISABLED), problem);
    host.EnableAdapters();
    ASSERT_TRUE(device.Status(&status, &problem));
    EXPECT_EQ(0u, problem);
}

}  // namespace
