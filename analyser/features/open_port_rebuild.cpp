#include "open_port_rebuild.h"

bool RebuildPortTable(IOpenPortSystem* system, IProcessHelper* snapshot, bool refresh,
                      ProcessPathMap* paths, PortTable* table) {
    if (system == nullptr || snapshot == nullptr || paths == nullptr || table == nullptr)
        return false;
    if (system->ImagePaths() == nullptr) {
        // The snapshot's answer is ignored: an old snapshot still names the
        // processes.
        if (refresh) snapshot->Refresh();
        if (!snapshot->GetProcessPaths(paths)) return false;
    }
    return table->Build();
}
