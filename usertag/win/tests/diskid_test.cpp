// The disk model through the real device calls, answered by the diskid stand-in driver.
#include <windows.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "diskid_service.h"
#include "machine_id_win.h"
#include "scratch_dir_win.h"
#include "usertag_host.h"
#include "win32/handles.h"

namespace {

bool DeviceExists(const char* name) {
    UniqueFile device(CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    return static_cast<bool>(device);
}

class DiskIdTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { driver_ = std::make_unique<DiskIdDriver>(); }
    static void TearDownTestSuite() {
        driver_.reset();
        // Later tests must see the machine without the stand-in's port.
        EXPECT_FALSE(DeviceExists("\\\\.\\Scsi0:"));
    }
    void SetUp() override { ASSERT_TRUE(driver_->running()) << driver_->error(); }

    static std::unique_ptr<DiskIdDriver> driver_;
};

std::unique_ptr<DiskIdDriver> DiskIdTest::driver_;

}  // namespace

TEST_F(DiskIdTest, ModelFromTheDriveOrElseThePort) {
    const struct {
        const char* smart;
        const char* scsi;
        const char* model;
    } cases[] = {
        // Asked with the identify command; the double refuses the packet command.
        {DISKID_ATA_DEVICE, "\\\\.\\KvNoSuchPort", "AtaDisk1"},
        // A packet device is asked with 0xA1, and the odd last byte stays in place.
        {DISKID_ATAPI_DEVICE, DISKID_PAIR_DEVICE, "PacketDev"},
        // No drive: the port's drive 1 replaces drive 0.
        {"\\\\.\\KvNoSuchDisk", DISKID_PAIR_DEVICE, "Drive-1"},
        // The machine's own drive does not answer under Wine; the port stands in.
        {"\\\\.\\PhysicalDrive0", "\\\\.\\Scsi0:", "KvScsiDiskX"},
        {"\\\\.\\KvNoSuchDisk", "\\\\.\\KvNoSuchPort", ""},
    };
    for (const auto& c : cases) {
        MachineIdSources sources;
        sources.smartDevice = c.smart;
        sources.scsiDevice = c.scsi;
        EXPECT_EQ(ReadMachineFacts(sources).diskModel, c.model) << c.smart << " " << c.scsi;
    }
}

TEST_F(DiskIdTest, ListHeaderCarriesTheIdentifierWithTheModel) {
    const MachineFacts facts = ReadMachineFacts();
    ASSERT_EQ(facts.diskModel, "KvScsiDiskX");
    MachineFacts withoutDisk = facts;
    withoutDisk.diskModel.clear();
    ASSERT_NE(MachineIdDigits(facts), MachineIdDigits(withoutDisk));

    kvtest::ScratchDir dir("t", "Z:\\tmp\\usertag");
    UserTagHost host;
    ASSERT_EQ(host.error(), "");
    ASSERT_TRUE(host.Open((dir / "list.dat").c_str()));
    ASSERT_TRUE(host.AddFile(dir.Write("a.txt", "a").c_str()));
    EXPECT_EQ(dir.Read("list.dat").substr(4, 16), MachineIdDigits(facts));
}
