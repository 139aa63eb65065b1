#include "process_snapshot.h"

#include <utility>

std::string ClampSnapshotPath(std::string text) {
    if (text.size() > kMaxSnapshotPath) text.resize(kMaxSnapshotPath);
    return text;
}

void ProcessSnapshot::Add(ProcessEntry entry) {
    entry.path = ClampSnapshotPath(std::move(entry.path));
    for (ModuleEntry& module : entry.modules) {
        module.path = ClampSnapshotPath(std::move(module.path));
    }
    entries_.push_back(std::move(entry));
}

bool ProcessSnapshot::FillProcessPaths(ProcessPathMap* paths) const {
    if (paths == nullptr || entries_.empty()) return false;
    for (const ProcessEntry& entry : entries_) (*paths)[entry.pid] = entry.path;
    return true;
}

bool ProcessSnapshot::FillModulePaths(uint32_t pid, ModulePathMap* paths) const {
    if (paths == nullptr) return false;
    for (const ProcessEntry& entry : entries_) {
        if (entry.pid != pid) continue;
        paths->clear();
        for (const ModuleEntry& module : entry.modules) (*paths)[module.key] = module.path;
        return true;
    }
    return false;
}
