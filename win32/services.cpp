#include "win32/services.h"

#include <algorithm>
#include <optional>

#include "service_wait.h"

namespace kvwin {

UniqueService OpenServiceManager(DWORD access) {
    return UniqueService(OpenSCManagerA(nullptr, nullptr, access));
}

UniqueService OpenNamedService(SC_HANDLE manager, const char* name, DWORD access) {
    return UniqueService(OpenServiceA(manager, name, access));
}

bool ServiceExists(SC_HANDLE manager, const char* name) {
    return static_cast<bool>(OpenNamedService(manager, name, SERVICE_QUERY_STATUS));
}

UniqueService CreateKernelDriverService(SC_HANDLE manager, const char* name,
                                        const char* displayName, const char* imagePath,
                                        DWORD access) {
    return CreateKernelDriverService(manager, name, displayName, imagePath, access,
                                     SERVICE_ERROR_NORMAL);
}

UniqueService CreateKernelDriverService(SC_HANDLE manager, const char* name,
                                        const char* displayName, const char* imagePath,
                                        DWORD access, DWORD errorControl) {
    return UniqueService(CreateServiceA(manager,
                                        name,                   // service name
                                        displayName,            // display name
                                        access,                 // access asked
                                        SERVICE_KERNEL_DRIVER,  // type
                                        SERVICE_DEMAND_START,   // started by its component
                                        errorControl,           // error control
                                        imagePath,              // absolute, unquoted
                                        nullptr,                // no load-order group
                                        nullptr,                // no tag
                                        nullptr,                // no dependencies
                                        nullptr,                // no account (driver)
                                        nullptr));              // no password
}

ServiceWait WaitForServiceState(SC_HANDLE service, DWORD wanted, DWORD limitMs, HANDLE wake) {
    return WaitForServiceStatus(
        [service](SERVICE_STATUS* status) { return QueryServiceStatus(service, status) != FALSE; },
        wanted, limitMs, wake);
}

ServiceWait WaitForServiceStatus(const ServiceStatusQuery& query, DWORD wanted, DWORD limitMs,
                                 HANDLE wake) {
    const DWORD started = GetTickCount();
    for (;;) {
        SERVICE_STATUS status = {};
        if (!query(&status)) return ServiceWait::kQueryFailed;
        if (status.dwCurrentState == wanted) return ServiceWait::kReached;
        const std::optional<std::uint32_t> delay =
            ServiceWaitDelay(status.dwCurrentState, wanted, status.dwWaitHint);
        if (!delay) return ServiceWait::kSettled;
        const DWORD spent = GetTickCount() - started;
        if (spent >= limitMs) return ServiceWait::kTimedOut;
        const DWORD pause = std::min<DWORD>(*delay, limitMs - spent);
        if (wake == nullptr) {
            Sleep(pause);
        } else if (WaitForSingleObject(wake, pause) == WAIT_OBJECT_0) {
            return ServiceWait::kWoken;
        }
    }
}

bool StopService(SC_HANDLE service, DWORD limitMs) {
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status) &&
        GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
        return false;
    }
    return WaitForServiceState(service, SERVICE_STOPPED, limitMs) == ServiceWait::kReached;
}

}  // namespace kvwin
