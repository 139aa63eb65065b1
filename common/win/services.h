#pragma once
// The service manager as the driver components use it: opened with full access, and the
// demand-start kernel-driver service that each of them creates for its driver.
#include "win/handles.h"

// The local service manager with full access; empty on failure.
inline UniqueService OpenServiceManager() {
    return UniqueService(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

// Creates the kernel-driver service `name` for the driver file at `imagePath` (absolute
// and unquoted), started on demand, with full access asked for. Empty on failure, with
// the reason in GetLastError() (ERROR_SERVICE_EXISTS, ERROR_SERVICE_MARKED_FOR_DELETE...).
inline UniqueService CreateKernelDriverService(SC_HANDLE manager, const char* name,
                                               const char* displayName, const char* imagePath) {
    return UniqueService(CreateServiceA(manager,
                                        name,                   // service name
                                        displayName,            // display name
                                        SERVICE_ALL_ACCESS,     // access asked
                                        SERVICE_KERNEL_DRIVER,  // type
                                        SERVICE_DEMAND_START,   // started by its component
                                        SERVICE_ERROR_NORMAL,   // error control
                                        imagePath,              // absolute, unquoted
                                        nullptr,                // no load-order group
                                        nullptr,                // no tag
                                        nullptr,                // no dependencies
                                        nullptr,                // no account (driver)
                                        nullptr));              // no password
}
