#pragma once
// What the open-port features ask of the machine. The Windows build answers from the
// library's process snapshot and IP Helper (open_port_system_win.h); tests use fakes.
#include "port_table.h"
#include "process_helper.h"
#include "running_images.h"

class IOpenPortSystem {
public:
    // The library's one process snapshot; null when there is none.
    virtual IProcessHelper* ProcessHelper() = 0;
    // Image paths of chosen processes; null when only the snapshot can name them.
    virtual IProcessImagePaths* ImagePaths() = 0;
    // The machine's open endpoints.
    virtual IEndpointSource* Endpoints() = 0;
    // Whether a subject can be a running program at all; null when that cannot be told
    // cheaply, and every subject is looked up in a port table.
    virtual IRunningImages* RunningImages() = 0;

protected:
    ~IOpenPortSystem() = default;
};
