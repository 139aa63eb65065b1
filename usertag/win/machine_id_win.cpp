#include "machine_id_win.h"

#include <nb30.h>

#include <cstring>

#include "disk_identify.h"
#include "win32/handles.h"

namespace {

constexpr DWORD kValueBufferSize = 1024;

UniqueKey OpenMachineKey(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, kMachineKeyAccess, &key) != ERROR_SUCCESS) return UniqueKey();
    return UniqueKey(key);
}

UniqueFile OpenDisk(const char* device) {
    return UniqueFile(CreateFileA(device, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
}

// The model through the SMART requests of the physical drive; empty when the drive does
// not answer them.
std::string SmartModel(const char* device) {
    UniqueFile disk = OpenDisk(device);
    if (!disk) return "";
    uint8_t version[kSmartVersionSize] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(disk.get(), kSmartGetVersionCode, nullptr, 0, version, sizeof(version),
                         &returned, nullptr) ||
        SmartDeviceMap(version) == 0) {
        return "";
    }
    const int drive = 0;
    auto request = SmartIdentifyRequest(IdentifyCommandFor(SmartDeviceMap(version), drive), drive);
    uint8_t answer[kSmartAnswerSize] = {};
    if (!DeviceIoControl(disk.get(), kSmartRcvDriveDataCode, request.data(),
                         static_cast<DWORD>(request.size()), answer, sizeof(answer), &returned,
                         nullptr)) {
        return "";
    }
    return SmartAnswerModel(answer);
}

// The model through the SCSI miniport of the port. Drive 1's answer replaces drive 0's:
// identifiers of stored lists were derived that way.
std::string ScsiModel(const char* device) {
    UniqueFile port = OpenDisk(device);
    if (!port) return "";
    std::string model;
    for (int drive = 0; drive < 2; ++drive) {
        uint8_t buffer[kScsiBufferSize];
        ScsiIdentifyRequest(drive, buffer);
        DWORD returned = 0;
        if (DeviceIoControl(port.get(), kScsiMiniportCode, buffer, kScsiRequestSize, buffer,
                            sizeof(buffer), &returned, nullptr)) {
            ScsiAnswerModel(buffer, &model);
        }
    }
    return model;
}

std::string DiskModel(const MachineIdSources& sources) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return "";
    std::string model = SmartModel(sources.smartDevice);
    if (model.empty()) model = ScsiModel(sources.scsiDevice);
    return model;
}

// The address of the adapter on LANA 0, or empty.
std::string AdapterAddress() {
    LANA_ENUM lanas = {};
    NCB ncb = {};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof(lanas);
    if (Netbios(&ncb) != NRC_GOODRET || lanas.length == 0) return "";

    ncb = NCB{};
    ncb.ncb_command = NCBRESET;
    ncb.ncb_lana_num = 0;
    if (Netbios(&ncb) != NRC_GOODRET) return "";

    // Adapter status with the 600 bytes that hold the status and its name table.
    unsigned char status[600] = {};
    ncb = NCB{};
    ncb.ncb_command = NCBASTAT;
    ncb.ncb_lana_num = 0;
    ncb.ncb_callname[0] = '*';
    ncb.ncb_buffer = status;
    ncb.ncb_length = sizeof(status);
    if (Netbios(&ncb) != NRC_GOODRET) return "";
    return FormatAdapterAddress(status);
}

}  // namespace

std::string ReadKeyText(HKEY key, const char* value) {
    char buffer[kValueBufferSize] = {};
    DWORD size = sizeof(buffer);
    // Each read has a zeroed buffer of its own, so what a value that did not fit left in
    // it never reaches another read.
    if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        return "";
    }
    // The text ends at the first zero, or with the buffer when the value has none.
    const void* end = std::memchr(buffer, 0, sizeof(buffer));
    return std::string(buffer, end ? static_cast<const char*>(end) - buffer : sizeof(buffer));
}

MachineFacts ReadMachineFacts(const MachineIdSources& sources) {
    MachineFacts facts;
    if (UniqueKey firmware = OpenMachineKey(sources.root, sources.firmwareKey)) {
        facts.biosDate = ReadKeyText(firmware.get(), "SystemBiosDate");
        facts.biosVersion = ReadKeyText(firmware.get(), "SystemBiosVersion");
        facts.videoBiosVersion = ReadKeyText(firmware.get(), "VideoBiosVersion");
    }
    if (UniqueKey processor = OpenMachineKey(sources.root, sources.processorKey)) {
        facts.processorVendor = ReadKeyText(processor.get(), "VendorIdentifier");
        facts.processorIdentifier = ReadKeyText(processor.get(), "Identifier");
        facts.processorName = ReadKeyText(processor.get(), "ProcessorNameString");
    }
    facts.diskModel = DiskModel(sources);
    facts.adapterAddress = AdapterAddress();
    return facts;
}

bool ComputeMachineId(char* buffer, int capacity) {
    if (buffer == nullptr || capacity < kMachineIdMinCapacity) return false;
    return WriteMachineId(MachineIdDigits(ReadMachineFacts()), buffer, capacity);
}
