#include "adapter_choice.h"

#include <cstdio>

namespace {

bool IsNetClass(const DeviceFacts& device) {
    return device.classGuid == kNetClassGuid;
}

// The class key's "Class" is compared exactly: "net" does not pass.
bool ClassKeySaysNet(const DeviceFacts& device) {
    return device.classValueRead && device.classValue == "Net";
}

}  // namespace

std::string GuidText(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t (&data4)[8]) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(data1), data2, data3, data4[0], data4[1], data4[2],
                  data4[3], data4[4], data4[5], data4[6], data4[7]);
    return text;
}

bool AnyAdapterUp(const std::vector<DeviceFacts>& devices) {
    for (const DeviceFacts& device : devices) {
        if (IsNetClass(device) && device.statusRead && device.problem == 0 &&
            device.status == kAdapterUpStatus)
            return true;
    }
    return false;
}

std::vector<AdapterChange> ChooseAdapterChanges(const std::vector<DeviceFacts>& devices, int mode) {
    std::vector<AdapterChange> changes;
    if (mode == 0 || mode == 2) {
        for (size_t i = 0; i < devices.size(); ++i) {
            if (IsNetClass(devices[i]) && ClassKeySaysNet(devices[i]))
                changes.push_back(AdapterChange{i, mode == 0});
        }
    } else if (mode == 1) {
        size_t lowest = devices.size();
        for (size_t i = 0; i < devices.size(); ++i) {
            if (!IsNetClass(devices[i]) || devices[i].devInst >= kMaxSingleAdapterInstance)
                continue;
            if (lowest == devices.size() || devices[i].devInst < devices[lowest].devInst)
                lowest = i;
        }
        if (lowest != devices.size()) changes.push_back(AdapterChange{lowest, false});
    }
    return changes;
}
