#pragma once
// Which network adapters the adapter operations touch, decided over plain facts about
// every device present (gathered by the platform side).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr char kNetClassGuid[] = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
// Driver loaded, started, disableable, enumerated and driven by the system: nothing else.
constexpr uint32_t kAdapterUpStatus = 0x0180200A;
// Device-instance numbers from here on are not candidates for mode 1.
constexpr uint32_t kMaxSingleAdapterInstance = 10000;

struct DeviceFacts {
    std::string classGuid;  // the class identifier in its braced upper-case text form
    bool classValueRead = false;
    std::string classValue;  // "Class" of the device's class key, when it could be read
    bool statusRead = false;
    uint32_t status = 0;
    uint32_t problem = 0;
    uint32_t devInst = 0;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string GuidText(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t (&data4)[8]);

// True when some network adapter reports no problem and exactly kAdapterUpStatus.
bool AnyAdapterUp(const std::vector<DeviceFacts>& devices);

struct AdapterChange {
    size_t device;  // index into the facts
    bool enable;
};

// Mode 0 enables and mode 2 disables every network adapter whose class key says "Net";
// mode 1 disables the adapter with the lowest instance number below 10000; any other
// mode changes nothing.
std::vector<AdapterChange> ChooseAdapterChanges(const std::vector<DeviceFacts>& devices, int mode);
