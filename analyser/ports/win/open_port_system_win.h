#pragma once
#include "ip_helper_endpoints.h"
#include "open_port_system.h"
#include "running_images_win.h"

// The running system's processes and endpoints.
class CSystemOpenPorts final : public IOpenPortSystem {
public:
    CSystemOpenPorts();
    IProcessHelper* ProcessHelper() override;
    IProcessImagePaths* ImagePaths() override;
    IEndpointSource* Endpoints() override { return &endpoints_; }
    IRunningImages* RunningImages() override { return &runningImages_; }

private:
    CIpHelperEndpoints endpoints_;
    CRunningImageNames runningImages_;
};
