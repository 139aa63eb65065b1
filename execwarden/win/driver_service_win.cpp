#include "driver_service_win.h"

#include <optional>

#include "service_wait.h"
#include "win32/services.h"

namespace {

// Polls the status until the service reaches `wanted` or stops moving towards it; the
// pauses end early when `wake` is signalled.
bool WaitForServiceState(SC_HANDLE service, DWORD wanted, HANDLE wake) {
    for (;;) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) return false;
        std::optional<std::uint32_t> delay =
            ServiceWaitDelay(status.dwCurrentState, wanted, status.dwWaitHint);
        if (!delay) return status.dwCurrentState == wanted;
        if (wake == nullptr) {
            Sleep(*delay);
        } else if (WaitForSingleObject(wake, *delay) == WAIT_OBJECT_0) {
            return false;
        }
    }
}

bool IsRunning(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
}

}  // namespace

std::string DriverImagePath(const std::string& libraryPath) {
    std::string::size_type slash = libraryPath.rfind('\\');
    std::string path =
        slash == std::string::npos ? std::string() : libraryPath.substr(0, slash + 1);
    path += kDriverFileName;
    // The service manager keeps the path in a MAX_PATH field; a cut path names no driver.
    return path.size() < MAX_PATH ? path : std::string();
}

void DriverService::InstallAndStart(const std::string& imagePath, HANDLE wake) {
    manager_ = kvwin::OpenServiceManager(SC_MANAGER_ALL_ACCESS);
    if (!manager_ || imagePath.empty()) return;
    service_ = kvwin::CreateKernelDriverService(manager_.get(), kDriverServiceName, kDriverDisplayName,
                                                imagePath.c_str(), SERVICE_ALL_ACCESS);
    if (service_) {
        created_ = true;
    } else {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_EXISTS && error != ERROR_SERVICE_MARKED_FOR_DELETE) return;
        service_.reset(OpenServiceA(manager_.get(), kDriverServiceName, SERVICE_ALL_ACCESS));
        if (!service_) return;
    }
    if (StartServiceA(service_.get(), 0, nullptr)) {
        started_ = true;
        WaitForServiceState(service_.get(), SERVICE_RUNNING, wake);
        return;
    }
    if (IsRunning(service_.get())) return;
    // Neither started nor running: leave no broken service behind.
    DeleteService(service_.get());
    service_.reset();
    created_ = started_ = false;
}

void DriverService::Remove() {
    if (service_ && (created_ || started_)) {
        SERVICE_STATUS status{};
        if (ControlService(service_.get(), SERVICE_CONTROL_STOP, &status))
            WaitForServiceState(service_.get(), SERVICE_STOPPED, nullptr);
        DeleteService(service_.get());
    }
    service_.reset();
    manager_.reset();
    created_ = started_ = false;
}
