#pragma once
// Installs the diskid driver as a kernel service of this prefix and starts it for the life
// of the object; stops and deletes it again on every path out, and removes a service that a
// crashed run left behind before installing it anew.
#include <windows.h>

#include <string>

#include "diskid.h"
#include "kernel_services_win.h"
#include "program_folder_win.h"

class DiskIdDriver {
public:
    DiskIdDriver() {
        kvtest::RemoveService(DISKID_SERVICE_NAME);
        // The driver lies beside the test program; the image path must be absolute.
        const std::string image = kvtest::BesideProgram("diskid.sys");
        if (!kvtest::CreateDriverService(DISKID_SERVICE_NAME, image, SERVICE_ERROR_IGNORE)) {
            error_ = "CreateService failed, error " + std::to_string(GetLastError());
        } else if (!kvtest::StartDriverService(DISKID_SERVICE_NAME)) {
            error_ = "StartService(" + image + ") failed, error " + std::to_string(GetLastError());
        }
    }
    ~DiskIdDriver() { kvtest::RemoveService(DISKID_SERVICE_NAME); }
    DiskIdDriver(const DiskIdDriver&) = delete;
    DiskIdDriver& operator=(const DiskIdDriver&) = delete;

    bool running() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    std::string error_;
};
