#pragma once
#include "ip_helper_endpoints.h"
#include "open_port_system.h"

// The running system's processes and endpoints.
class CSystemOpenPorts final : public IOpenPortSystem {
public:
    IProcessHelper* ProcessHelper() override;
    IProcessImagePaths* ImagePaths() override;
    IEndpointSource* Endpoints() override { return &endpoints_; }

private:
    CIpHelperEndpoints endpoints_;
};
