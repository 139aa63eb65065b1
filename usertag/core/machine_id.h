#pragma once
// The machine identifier that binds a user's list file to the machine that wrote it:
// sixteen upper-case hex digits taken from the MD5 of the machine's facts and a salt.
// Stored list files carry it in their header, so every byte of the derivation is fixed.
#include <string>

// The texts the identifier is made of, in the order they are concatenated. A fact that
// cannot be read is an empty text.
struct MachineFacts {
    std::string biosDate;
    std::string biosVersion;
    std::string videoBiosVersion;
    std::string processorVendor;
    std::string processorIdentifier;
    std::string processorName;
    std::string adapterAddress;  // "00:1A:2B:3C:4D:5E"
    std::string diskModel;
};

// The 41 salt bytes that follow the facts.
extern const char kMachineIdSalt[];
constexpr int kMachineIdSaltLength = 41;

// The smallest buffer the identifier is written into.
constexpr int kMachineIdMinCapacity = 32;
constexpr int kMachineIdLength = 16;

// The first and last 8 of the 32 digits of the MD5 of the facts and the salt.
std::string MachineIdDigits(const MachineFacts& facts);

// The same facts as an account sees them that cannot open the firmware and processor keys:
// earlier builds asked those keys for write rights, so such accounts wrote their lists with
// the identifier of these facts.
MachineFacts WithoutRegistryFacts(MachineFacts facts);

// Zeroes `capacity` bytes of `buffer` and writes `digits` followed by a zero byte. False,
// with the buffer untouched, when `buffer` is null or `capacity` is below 32.
bool WriteMachineId(const std::string& digits, char* buffer, int capacity);

// Six upper-case hex bytes joined by colons.
std::string FormatAdapterAddress(const unsigned char address[6]);
