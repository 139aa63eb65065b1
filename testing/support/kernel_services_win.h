#pragma once
// Kernel-driver services for the test-double drivers, in this prefix's service manager.
#include <windows.h>

#include <string>

namespace kvtest {

bool ServiceExists(const char* name);
// Stops the service (waiting, bounded, until it has stopped) and deletes it; true when no
// such service is left or it is marked for deletion.
bool RemoveService(const char* name);
// A demand-start kernel-driver service for `image` (an absolute path), shown as `name`;
// true when a service of that name exists afterwards (else GetLastError() tells why).
bool CreateDriverService(const char* name, const std::string& image,
                         DWORD errorControl = SERVICE_ERROR_NORMAL);
// Starts the service; true when it runs afterwards (else GetLastError() tells why).
bool StartDriverService(const char* name);

}  // namespace kvtest
