#pragma once
// The process-creation driver's service: installed and started by the listener, stopped
// and deleted again when the library unloads.
#include <string>

#include "win32/handles.h"

constexpr const char kDriverServiceName[] = "ProcWatcherDriver";
constexpr const char kDriverDisplayName[] = "Kavro Labs Process creation detector.";
constexpr const char kDriverFileName[] = "ProcWatchDriver.sys";

// The driver image beside the library at `libraryPath`, "ProcWatchDriver.sys" alone when
// the path has no folder; "" when the result would not fit a path field.
std::string DriverImagePath(const std::string& libraryPath);

class DriverService {
public:
    // Creates the service for `imagePath` (or opens the one that exists or is marked for
    // deletion) and starts it. A service that neither starts nor runs is deleted again.
    // The status wait ends after 10 s, or early when `wake` is signalled.
    void InstallAndStart(const std::string& imagePath, HANDLE wake);

    // Stops and deletes the service, but only one that this library created or started:
    // a driver that some other party keeps running stays. Waits at most 10 s for the stop.
    // Closes both handles.
    void Remove();

private:
    UniqueService manager_;
    UniqueService service_;
    bool created_ = false;
    bool started_ = false;
};
