#include "open_port_system_win.h"

#include "process_thread_info.h"

// Exact owner paths are read the way the port table reads them.
CSystemOpenPorts::CSystemOpenPorts() : runningImages_(&TheProcessThreadInfo()) {}

IProcessHelper* CSystemOpenPorts::ProcessHelper() {
    return &TheProcessThreadInfo();
}

IProcessImagePaths* CSystemOpenPorts::ImagePaths() {
    return &TheProcessThreadInfo();
}
