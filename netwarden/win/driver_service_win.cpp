#include "driver_service_win.h"

#include "win32/services.h"

namespace {

constexpr int kInstallAttempts = 4;
constexpr DWORD kAttemptPauseMs = 100;
constexpr DWORD kStopPollMs = 50;
// A driver that never leaves stop-pending must not hold the host forever.
constexpr DWORD kStopPendingLimitMs = 10000;

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StartOrRunning(SC_HANDLE service) {
    return StartServiceA(service, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

bool TryInstallAndStart(SC_HANDLE manager, const std::string& image) {
    if (!FileExists(image)) return false;
    // The filter driver sits on the system's IP filter; a failed start of it is not ours
    // to judge, but it has to be there.
    UniqueService ipFilter(OpenServiceA(manager, kIpFilterServiceName, SERVICE_ALL_ACCESS));
    if (!ipFilter) return false;
    StartServiceA(ipFilter.get(), 0, nullptr);

    UniqueService created =
        kvwin::CreateKernelDriverService(manager, kDriverServiceName, kDriverServiceName, image.c_str(),
                                         SERVICE_ALL_ACCESS);
    if (!created && GetLastError() != ERROR_SERVICE_EXISTS) return false;
    created.reset();
    UniqueService service(OpenServiceA(manager, kDriverServiceName, SERVICE_ALL_ACCESS));
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
    UniqueService manager = kvwin::OpenServiceManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    {
        UniqueService service(OpenServiceA(manager.get(), kDriverServiceName, SERVICE_ALL_ACCESS));
        if (!service) return;
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(service.get(), &status) &&
            (status.dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0 &&
            ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            const DWORD started = GetTickCount();
            while (status.dwCurrentState == SERVICE_STOP_PENDING &&
                   GetTickCount() - started < kStopPendingLimitMs) {
                Sleep(kStopPollMs);
                if (!QueryServiceStatus(service.get(), &status)) break;
            }
        }
    }
    UniqueService again(OpenServiceA(manager.get(), kDriverServiceName, SERVICE_ALL_ACCESS));
    if (again) DeleteService(again.get());
}

bool InstallAndStartDriverService() {
    const std::string image = DriverImagePath();
    for (int attempt = 0; attempt < kInstallAttempts; ++attempt) {
        UniqueService manager = kvwin::OpenServiceManager(SC_MANAGER_ALL_ACCESS);
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
