#include "kernel_services_win.h"

#include "win32/services.h"

namespace kvtest {

namespace {

// How long a removal waits for a running service to stop.
constexpr DWORD kStopLimitMs = 5000;

// `ok`, with the last error put back as it was when the result was known: closing the
// handles on the way out may have changed it.
bool Answer(bool ok, DWORD error) {
    SetLastError(error);
    return ok;
}

}  // namespace

bool ServiceExists(const char* name) {
    const UniqueService manager = kvwin::OpenServiceManager();
    return kvwin::ServiceExists(manager.get(), name);
}

bool RemoveService(const char* name) {
    DWORD error = 0;
    {
        const UniqueService manager = kvwin::OpenServiceManager();
        const UniqueService service = kvwin::OpenNamedService(
            manager.get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
        if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
        // A service that will not stop is deleted all the same: it goes when it stops.
        kvwin::StopService(service.get(), kStopLimitMs);
        if (DeleteService(service.get())) return true;
        error = GetLastError();
    }
    return Answer(error == ERROR_SERVICE_MARKED_FOR_DELETE, error);
}

bool CreateDriverService(const char* name, const std::string& image, DWORD errorControl) {
    DWORD error = 0;
    {
        const UniqueService manager = kvwin::OpenServiceManager(SC_MANAGER_CREATE_SERVICE);
        // The test's StartDriverService and RemoveService open it again for what they do.
        const UniqueService service = kvwin::CreateKernelDriverService(
            manager.get(), name, name, image.c_str(), SERVICE_QUERY_STATUS, errorControl);
        if (service) return true;
        error = GetLastError();
    }
    return Answer(error == ERROR_SERVICE_EXISTS, error);
}

bool StartDriverService(const char* name) {
    DWORD error = 0;
    {
        const UniqueService manager = kvwin::OpenServiceManager();
        const UniqueService service = kvwin::OpenNamedService(manager.get(), name, SERVICE_START);
        if (service && StartServiceA(service.get(), 0, nullptr)) return true;
        error = GetLastError();
    }
    return Answer(error == ERROR_SERVICE_ALREADY_RUNNING, error);
}

}  // namespace kvtest
