#pragma once
// The service manager as the driver components use it. Each step asks for the least
// access it needs, and every wait on a service's state has an overall bound besides the
// pause between two queries.
#include <functional>

#include "win32/handles.h"

namespace kvwin {

// The local service manager with the access asked for; empty on failure. Opening and
// querying services needs only SC_MANAGER_CONNECT, creating one SC_MANAGER_CREATE_SERVICE.
UniqueService OpenServiceManager(DWORD access = SC_MANAGER_CONNECT);

// What a component does with its own driver's service: start, stop, query and delete it.
constexpr DWORD kDriverServiceAccess =
    SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE;

// The service `name` with `access`; empty on failure, with the reason in GetLastError()
// (ERROR_SERVICE_DOES_NOT_EXIST...).
UniqueService OpenNamedService(SC_HANDLE manager, const char* name, DWORD access);

// True when the service `name` exists (it is opened for nothing but a status query).
bool ServiceExists(SC_HANDLE manager, const char* name);

// Creates the kernel-driver service `name` for the driver file at `imagePath` (absolute
// and unquoted), started on demand, opened with `access`. The manager needs
// SC_MANAGER_CREATE_SERVICE. Empty on failure, with the reason in GetLastError()
// (ERROR_SERVICE_EXISTS, ERROR_SERVICE_MARKED_FOR_DELETE...).
UniqueService CreateKernelDriverService(SC_HANDLE manager, const char* name,
                                        const char* displayName, const char* imagePath,
                                        DWORD access = kDriverServiceAccess);
// The same with the error control the service is created with (SERVICE_ERROR_IGNORE for
// a driver whose failure to start the system should not even log).
UniqueService CreateKernelDriverService(SC_HANDLE manager, const char* name,
                                        const char* displayName, const char* imagePath,
                                        DWORD access, DWORD errorControl);

enum class ServiceWait {
    kReached,    // the service is in the wanted state
    kSettled,    // it settled in another state that no pending move leads away from
    kTimedOut,   // still pending when the overall bound ran out
    kWoken,      // the caller's `wake` event was signalled
    kQueryFailed,
};

// Reads the service's current status; false when it cannot.
using ServiceStatusQuery = std::function<bool(SERVICE_STATUS*)>;

// Waits while the service moves towards `wanted`. Between two queries it pauses as the
// service asks (a tenth of its wait hint, 1 to 10 seconds), never past `limitMs` in all;
// a pause ends early when `wake` (optional) is signalled. The handle needs
// SERVICE_QUERY_STATUS.
ServiceWait WaitForServiceState(SC_HANDLE service, DWORD wanted, DWORD limitMs,
                                HANDLE wake = nullptr);
// The same over any source of status.
ServiceWait WaitForServiceStatus(const ServiceStatusQuery& query, DWORD wanted, DWORD limitMs,
                                 HANDLE wake = nullptr);

// Asks a running service to stop and waits, at most `limitMs`, while it is stop-pending.
// True when it is stopped (or was not running). The handle needs SERVICE_STOP and
// SERVICE_QUERY_STATUS.
bool StopService(SC_HANDLE service, DWORD limitMs);

}  // namespace kvwin
