#pragma once
// The port table as both open-port features build it.
#include "open_port_system.h"
#include "port_table.h"
#include "process_helper.h"

// A table over `paths` with the system's endpoints and, where the system can name
// single processes, its image-path lookup.
inline PortTable MakePortTable(IOpenPortSystem* system, ProcessPathMap* paths) {
    return PortTable(paths, system != nullptr ? system->Endpoints() : nullptr,
                     system != nullptr ? system->ImagePaths() : nullptr);
}

// Builds `table` (made by MakePortTable over `paths`). Where the system can name single
// processes, only the owners of open ports are looked up: the records are those a full
// snapshot would give, at the cost of a few process opens instead of hundreds. Otherwise
// the paths come from `snapshot`, refreshed first when `refresh` is set. False when the
// paths or the endpoints cannot be had.
bool RebuildPortTable(IOpenPortSystem* system, IProcessHelper* snapshot, bool refresh,
                      ProcessPathMap* paths, PortTable* table);

// True when the system can tell cheaply that no running program has `path` as its image
// path: no port table can then list the subject as an owner, and none need be built.
inline bool CannotBeRunning(IOpenPortSystem* system, const char* path) {
    IRunningImages* running = system != nullptr ? system->RunningImages() : nullptr;
    return running != nullptr && !running->MayBeRunning(path);
}
