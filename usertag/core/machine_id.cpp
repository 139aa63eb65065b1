#include "machine_id.h"

#include <cstdio>
#include <cstring>

#include "md5.h"

const char kMachineIdSalt[] = "Rq4LmZ8xTb2*Wn6YcPv0Hs3Kd \n by Kavro Labs";
static_assert(sizeof(kMachineIdSalt) == kMachineIdSaltLength + 1, "the salt is 41 bytes");

std::string MachineIdDigits(const MachineFacts& facts) {
    std::string text = facts.biosDate + facts.biosVersion + facts.videoBiosVersion +
                       facts.processorVendor + facts.processorIdentifier + facts.processorName +
                       facts.adapterAddress + facts.diskModel;
    text.append(kMachineIdSalt, kMachineIdSaltLength);

    unsigned char digest[16];
    CMD5Class md5;
    md5.Digest(text.data(), digest, static_cast<uint32_t>(text.size()));
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02X", digest[i]);
    return std::string(hex, 8) + std::string(hex + 24, 8);
}

MachineFacts WithoutRegistryFacts(MachineFacts facts) {
    facts.biosDate.clear();
    facts.biosVersion.clear();
    facts.videoBiosVersion.clear();
    facts.processorVendor.clear();
    facts.processorIdentifier.clear();
    facts.processorName.clear();
    return facts;
}

bool WriteMachineId(const std::string& digits, char* buffer, int capacity) {
    if (buffer == nullptr || capacity < kMachineIdMinCapacity) return false;
    std::memset(buffer, 0, static_cast<size_t>(capacity));
    const size_t length = digits.size() < static_cast<size_t>(capacity) - 1
                              ? digits.size()
                              : static_cast<size_t>(capacity) - 1;
    std::memcpy(buffer, digits.data(), length);
    return true;
}

std::string FormatAdapterAddress(const unsigned char address[6]) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02X:%02X:%02X:%02X:%02X:%02X", address[0], address[1],
                  address[2], address[3], address[4], address[5]);
    return text;
}
