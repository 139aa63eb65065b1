#pragma once
// The filter driver's service and device: removal of an earlier installation, install
// and start (with the IP filter service it needs), and the device handle.
#include <windows.h>

#include <string>

#include "win32/handles.h"

constexpr char kDriverServiceName[] = "KavroFirewall";
constexpr char kDriverFileName[] = "KavroFW.sys";
constexpr char kIpFilterServiceName[] = "IpFilterDriver";

// <system directory>\drivers\KavroFW.sys; the file must already be there.
std::string DriverImagePath();

// Stops (waiting at most 10 s while it is stop-pending) and deletes the service.
void RemoveDriverService();

// Up to four attempts, 100 ms apart: the driver file must exist, the IP filter service
// must open (its start may fail), the service is created (or found) and started (or
// found running).
bool InstallAndStartDriverService();

// The device, opened for reading only; invalid on failure.
UniqueFile OpenDriverDevice();
