#pragma once
// The host check's view of the drives, through the Win32 file calls. While it lives,
// the calling thread gets no critical-error boxes: a drive without media is skipped
// silently.
#include <windows.h>

#include "host_search.h"

class Win32HostFileSystem final : public HostFileSystem {
public:
    Win32HostFileSystem();
    ~Win32HostFileSystem() override;
    Win32HostFileSystem(const Win32HostFileSystem&) = delete;
    Win32HostFileSystem& operator=(const Win32HostFileSystem&) = delete;

    bool SystemDirectory(std::string* out) override;
    bool IsFile(const std::string& path) override;
    std::unique_ptr<ByteSource> OpenRead(const std::string& path) override;
    bool List(const std::string& pattern, const Visit& visit) override;

private:
    DWORD previousErrorMode_ = 0;
    bool errorModeSet_ = false;
};
