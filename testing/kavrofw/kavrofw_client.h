#pragma once
// The tests' side of the filter-driver double: placing it and its stand-in for the IP
// filter service in the prefix, and a second handle on its device that reads what it got
// and steers its answers.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kavrofw_protocol.h"
#include "win32/handles.h"

namespace kavrofw {

constexpr char kService[] = "KavroFirewall";
constexpr char kStandInService[] = "IpFilterDriver";
constexpr char kDriverFile[] = "KavroFW.sys";
constexpr char kStandInFile[] = "IpFilterStandIn.sys";

// <system directory>\drivers
std::string DriversFolder();

// Copies both drivers from `folder` into the drivers folder and creates the stand-in
// service when the machine has none. Remove undoes everything Install can have made.
bool Install(const std::string& folder, std::string* error);
bool Remove(std::string* error);

using RuleBytes = std::array<uint8_t, 44>;

class Probe {
public:
    Probe();
    bool open() const { return static_cast<bool>(device_); }
    KavroFwState State() const;
    std::vector<RuleBytes> Rules() const;
    bool Request(unsigned code, const void* in, DWORD inSize, void* out = nullptr,
                 DWORD outSize = 0, DWORD* returned = nullptr) const;
    bool Steer(unsigned code, uint32_t value) const { return Request(code, &value, 4); }
    bool Refuse(unsigned code, unsigned times) const;
    void Close() { device_.reset(); }

private:
    UniqueFile device_;
};

}  // namespace kavrofw
