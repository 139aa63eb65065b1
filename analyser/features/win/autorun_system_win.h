#pragma once
// The programs this machine starts by itself: the Run and RunOnce values of the
// local machine and the current user, and the files of the user's and the
// common Startup folders. Everything read is bounded: a crowded or hostile key
// costs a fixed amount.
#include <windows.h>

#include "autorun_system.h"

// At most this many values of one key and files of one folder are looked at.
constexpr DWORD kMaxAutorunEntriesPerPlace = 256;
// Values whose data is longer than this many bytes are skipped.
constexpr DWORD kMaxAutorunValueBytes = 4096;

class CSystemAutorun final : public IAutorunSystem {
public:
    bool ReadAutorunPaths(std::vector<std::string>* paths) override;
    bool SameTextIgnoringCase(const std::string& left, const std::string& right) override;

    // One run key, read as ReadAutorunPaths reads it; false when it cannot be
    // opened.
    static bool ReadRunKey(HKEY root, const char* subKey, std::vector<std::string>* paths);
    // The files of one folder; false when it cannot be listed.
    static bool ReadFolder(const std::string& folder, std::vector<std::string>* paths);
};
