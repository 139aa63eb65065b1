#pragma once
// The process snapshot as the features see it: which processes run, with which modules.
// Slot order is an ABI between our own binaries: never reorder, never insert.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Process id to image path; module key to module path.
using ProcessPathMap = std::map<uint32_t, std::string>;
using ModulePathMap = std::map<uint32_t, std::string>;

class IProcessHelper {
public:
    // Slot 0. Discards the old snapshot and takes a new one.
    virtual bool Refresh() = 0;
    // Slot 1. Sets `paths`[pid] to the image path of every process of the snapshot;
    // other keys are kept. False when the snapshot is empty.
    virtual bool GetProcessPaths(ProcessPathMap* paths) = 0;
    // Slot 2. Replaces `paths` with the modules of the first process `pid` of the
    // snapshot; false, with `paths` untouched, when the snapshot does not hold it.
    virtual bool GetModulePaths(uint32_t pid, ModulePathMap* paths) = 0;
    // Slot 3. Drops the implementation; later queries answer false.
    virtual void Shutdown() = 0;
    // Slot 4, the last: the only place where a destructor cannot shift another slot.
    virtual ~IProcessHelper() = default;
};

// Image paths of chosen processes by the same rules as Refresh, without listing every
// process and module of the machine: asking for the owners of a few ports costs a few
// process opens instead of hundreds.
class IProcessImagePaths {
public:
    // Sets `paths`[pid] for every id of `pids` whose image path Refresh would have
    // listed; other ids are left out. False when the system cannot be asked at all.
    virtual bool ResolveImagePaths(const std::vector<uint32_t>& pids, ProcessPathMap* paths) = 0;

protected:
    ~IProcessImagePaths() = default;
};

// Component name under which the snapshot answers IComponent::GetInterface.
constexpr const char kProcessHelperName[] = "IPROCESSHELPER";
