#include "driver_service_win.h"

#include "win32/files.h"
#include "win32/services.h"

namespace {

constexpr int kInstallAttempts = 4;
constexpr DWORD kAttemptPauseMs = 100;
// A driver that never leaves stop-pending must not hold the host forever.
constexpr DWORD kStopPendingLimitMs = 10000;

bool StartOrRunning(SC_HANDLE service) {
    return StartServiceA(service, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

// `manager` may connect and create services.
bool TryInstallAndStart(SC_HANDLE manager, const std::string& image) {
    if (!kvwin::PathExists(image)) return false;
    // The filter driver sits on the system's IP filter; a failed start of it is not ours
    // to judge, but it has to be there.
    UniqueService ipFilter = kvwin::OpenNamedService(manager, kIpFilterServiceName, SERVICE_START);
    if (!ipFilter) return false;
    StartServiceA(ipFilter.get(), 0, nullptr);

    UniqueService service = kvwin::CreateKernelDriverService(
        manager, kDriverServiceName, kDriverServiceName, image.c_str(), SERVICE_START);
    if (!service) {
        if (GetLastError() != ERROR_SERVICE_EXISTS) return false;
        service = kvwin::OpenNamedService(manager, kDriverServiceName, SERVICE_START);
    }
    return service && StartOrRunning(service.get());
}

}  // namespace

std::string DriverImagePath() {
    char system[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    std::string path(system, length < MAX_PATH ? length : 0);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path + "\\drivers\\" + kDriverFileName;
}

void RemoveDriverService() {
    UniqueService manager = kvwin::OpenServiceManager(SC_MANAGER_CONNECT);
    if (!manager) return;
    {
        UniqueService service = kvwin::OpenNamedService(manager.get(), kDriverServiceName,
                                                        SERVICE_STOP | SERVICE_QUERY_STATUS);
        if (!service) return;
        kvwin::StopService(service.get(), kStopPendingLimitMs);
    }
    UniqueService again = kvwin::OpenNamedService(manager.get(), kDriverServiceName, DELETE);
    if (again) DeleteService(again.get());
}

bool InstallAndStartDriverService() {
    const std::string image = DriverImagePath();
    for (int attempt = 0; attempt < kInstallAttempts; ++attempt) {
        UniqueService manager =
            kvwin::OpenServiceManager(SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
        if (manager && TryInstallAndStart(manager.get(), image)) return true;
        Sleep(kAttemptPauseMs);
    }
    return false;
}

UniqueFile OpenDriverDevice() {
    char path[96];
    wsprintfA(path, "\\\\.\\Global\\%.63s", kDriverServiceName);
    return UniqueFile(CreateFileA(path,
                                  GENERIC_READ,                        // read access only
                                  FILE_SHARE_READ | FILE_SHARE_WRITE,  // shared both ways
                                  nullptr,                             // default security
                                  OPEN_EXISTING,                       // the driver made it
                                  FILE_ATTRIBUTE_NORMAL,               // not overlapped
                                  nullptr));
}
