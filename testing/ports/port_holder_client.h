#pragma once
// Starts port_holder.exe from the tests' own directory and stops it again.
#include <windows.h>

#include <string>
#include <vector>

#include "win32/handles.h"

struct HeldPort {
    std::string protocol;  // "tcp" or "udp"
    int port = 0;
};

class PortHolder {
public:
    PortHolder() = default;
    ~PortHolder() { Stop(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    // Starts the helper with the given requests ("tcp:0", "udp:31337") and waits until it
    // holds them all. False with a reason in Error() otherwise.
    bool Start(const std::vector<std::string>& requests);
    // Terminates the helper and waits for its end: its ports are closed then.
    void Stop();

    DWORD Pid() const { return pid_; }
    // The helper's image path as the system names it.
    const std::string& ImagePath() const { return imagePath_; }
    const std::vector<HeldPort>& Ports() const { return ports_; }
    const std::string& Error() const { return error_; }

private:
    UniqueHandle process_;
    DWORD pid_ = 0;
    std::string imagePath_;
    std::vector<HeldPort> ports_;
    std::string error_;
};
