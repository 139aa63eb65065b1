#include "open_port_system_win.h"

#include "process_thread_info.h"

IProcessHelper* CSystemOpenPorts::ProcessHelper() {
    return &TheProcessThreadInfo();
}

IProcessImagePaths* CSystemOpenPorts::ImagePaths() {
    return &TheProcessThreadInfo();
}
