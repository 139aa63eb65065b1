#pragma once
#include <string>
#include <vector>

#include "data_analyser.h"
#include "open_port_system.h"

// Fires when the program at the subject's path owns an open port listed as a
// known backdoor port. The ports are listed at the first analysis and kept
// until Notify(3), so a long-running host sends that code to see ports opened
// or closed since.
class COpenPortDistrust final : public IDataAnalyser {
public:
    static constexpr int kId = 6616;
    // Without a system the feature has no ports to look at and never fires.
    explicit COpenPortDistrust(IOpenPortSystem* system = nullptr) : system_(system) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_OpenPortDistrust"; }
    // Takes the process snapshot; 0 when there is none.
    int Prepare() override;
    int Analyse(IVirusCaptorDataProvidor* record) override;
    // Code 3 lists the ports again (0 when that fails); other codes answer 1.
    int Notify(int code) override;

private:
    struct PortEntry {
        std::string path;
        int32_t port;
        int32_t protocol;
    };
    bool RebuildPorts(bool refresh);

    IOpenPortSystem* system_;
    IProcessHelper* snapshot_ = nullptr;
    std::vector<PortEntry> ports_;
};
