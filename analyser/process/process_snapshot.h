#pragma once
// The snapshot both implementations fill: processes in enumeration order, each with
// its modules. Queries copy out of it into maps that the caller owns.
#include <cstdint>
#include <string>
#include <vector>

#include "process_helper.h"

// Paths are kept as the system's 260-byte buffers would hold them.
constexpr size_t kMaxSnapshotPath = 259;

struct ModuleEntry {
    std::string path;
    uint32_t key = 0;  // module handle on NT, Tool Help module id on 9x
};

struct ProcessEntry {
    std::string path;
    uint32_t pid = 0;
    std::vector<ModuleEntry> modules;
};

class ProcessSnapshot {
public:
    void Clear() { entries_.clear(); }
    void Add(ProcessEntry entry);
    const std::vector<ProcessEntry>& Entries() const { return entries_; }

    bool FillProcessPaths(ProcessPathMap* paths) const;
    bool FillModulePaths(uint32_t pid, ModulePathMap* paths) const;

private:
    std::vector<ProcessEntry> entries_;
};

// `text` cut to what a 260-byte path buffer holds.
std::string ClampSnapshotPath(std::string text);
