#pragma once
// Installs the diskid driver as a kernel service of this prefix and starts it for the life
// of the object; stops and deletes it again on every path out, and removes a service that a
// crashed run left behind before installing it anew.
#include <windows.h>

#include <string>

#include "diskid.h"
#include "win/handles.h"

class DiskIdDriver {
public:
    DiskIdDriver() {
        manager_.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager_) {
            error_ = "OpenSCManager failed, error " + std::to_string(GetLastError());
            return;
        }
        Remove();
        // The driver lies beside the test program; the image path must be absolute.
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string image(path);
        image = image.substr(0, image.find_last_of('\\') + 1) + "diskid.sys";
        service_.reset(CreateServiceA(manager_.get(), DISKID_SERVICE_NAME, DISKID_SERVICE_NAME,
                                      SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, image.c_str(),
                                      nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service_) {
            error_ = "CreateService failed, error " + std::to_string(GetLastError());
        } else if (!StartServiceA(service_.get(), 0, nullptr)) {
            error_ = "StartService(" + image + ") failed, error " + std::to_string(GetLastError());
        }
    }
    ~DiskIdDriver() {
        service_.reset();
        if (manager_) Remove();
    }
    DiskIdDriver(const DiskIdDriver&) = delete;
    DiskIdDriver& operator=(const DiskIdDriver&) = delete;

    bool running() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    // Stops the service and deletes it; waits (bounded) until it has stopped.
    void Remove() {
        UniqueService old(OpenServiceA(manager_.get(), DISKID_SERVICE_NAME, SERVICE_ALL_ACCESS));
        if (!old) return;
        SERVICE_STATUS status = {};
        if (ControlService(old.get(), SERVICE_CONTROL_STOP, &status)) {
            for (int i = 0; i < 500 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
                Sleep(10);
                if (!QueryServiceStatus(old.get(), &status)) break;
            }
        }
        DeleteService(old.get());
    }

    UniqueService manager_;
    UniqueService service_;
    std::string error_;
};
