#include "driver_service_win.h"

#include "win32/paths.h"
#include "win32/services.h"

namespace {

// The most any status wait of the service takes: a start still pending after it is left
// to go on alone, and the unload no longer waits for a stop still pending.
constexpr DWORD kServiceWaitMs = 10000;

bool IsRunning(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
}

}  // namespace

std::string DriverImagePath(const std::string& libraryPath) {
    const std::string path = kvwin::FolderOf(libraryPath) + kDriverFileName;
    // The service manager keeps the path in a MAX_PATH field; a cut path names no driver.
    return path.size() < MAX_PATH ? path : std::string();
}

void DriverService::InstallAndStart(const std::string& imagePath, HANDLE wake) {
    // Creating the service needs SC_MANAGER_CREATE_SERVICE; opening the one that exists,
    // SC_MANAGER_CONNECT.
    manager_ = kvwin::OpenServiceManager(SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
    if (!manager_ || imagePath.empty()) return;
    // Start, query, stop and delete: all that is ever done with the service.
    service_ =
        kvwin::CreateKernelDriverService(manager_.get(), kDriverServiceName, kDriverDisplayName,
                                         imagePath.c_str(), kvwin::kDriverServiceAccess);
    if (service_) {
        created_ = true;
    } else {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_EXISTS && error != ERROR_SERVICE_MARKED_FOR_DELETE) return;
        service_ = kvwin::OpenNamedService(manager_.get(), kDriverServiceName,
                                           kvwin::kDriverServiceAccess);
        if (!service_) return;
    }
    if (StartServiceA(service_.get(), 0, nullptr)) {
        started_ = true;
        // A start that took until the unload began: no more service-manager calls from
        // this thread, which the unloading thread is waiting for.
        if (wake != nullptr && WaitForSingleObject(wake, 0) != WAIT_TIMEOUT) return;
        kvwin::WaitForServiceState(service_.get(), SERVICE_RUNNING, kServiceWaitMs, wake);
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
        // Under the loader lock: a stop still pending after the bound is left to finish
        // alone, the deletion then takes effect once it has.
        kvwin::StopService(service_.get(), kServiceWaitMs);
        DeleteService(service_.get());
    }
    service_.reset();
    manager_.reset();
    created_ = started_ = false;
}
