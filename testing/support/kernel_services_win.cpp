#include "kernel_services_win.h"

#include "win32/handles.h"

namespace kvtest {

namespace {

UniqueService Manager(DWORD access = SC_MANAGER_ALL_ACCESS) {
    return UniqueService(OpenSCManagerA(nullptr, nullptr, access));
}

// `ok`, with the last error put back as it was when the result was known: closing the
// handles on the way out may have changed it.
bool Answer(bool ok, DWORD error) {
    SetLastError(error);
    return ok;
}

}  // namespace

bool ServiceExists(const char* name) {
    UniqueService manager = Manager(SC_MANAGER_CONNECT);
    return UniqueService(OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS)).operator bool();
}

bool RemoveService(const char* name) {
    UniqueService manager = Manager();
    UniqueService service(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
    if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status = {};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        for (int i = 0; i < 500 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
            Sleep(10);
            if (!QueryServiceStatus(service.get(), &status)) break;
        }
    }
    return DeleteService(service.get()) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

bool CreateDriverService(const char* name, const std::string& image, DWORD errorControl) {
    DWORD error = 0;
    {
        UniqueService manager = Manager();
        UniqueService service(CreateServiceA(manager.get(),
                                             name,  // service name
                                             name,  // display name
                                             SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                             SERVICE_DEMAND_START,  // StartDriverService starts it
                                             errorControl,
                                             image.c_str(),  // the .sys file, an absolute path
                                             nullptr,        // no load-order group
                                             nullptr,        // no tag
                                             nullptr,        // no dependencies
                                             nullptr,        // the system's own account
                                             nullptr));      // no password
        if (service) return true;
        error = GetLastError();
    }
    return Answer(error == ERROR_SERVICE_EXISTS, error);
}

bool StartDriverService(const char* name) {
    DWORD error = 0;
    {
        UniqueService manager = Manager();
        UniqueService service(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
        if (service && StartServiceA(service.get(), 0, nullptr)) return true;
        error = GetLastError();
    }
    return Answer(error == ERROR_SERVICE_ALREADY_RUNNING, error);
}

}  // namespace kvtest
