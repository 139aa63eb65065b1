#include "open_port_distrust.h"

#include <cstring>

#include "backdoor_ports.h"
#include "open_port_rebuild.h"

namespace {

constexpr int kRelistCode = 3;
// Ports below this are the system's own services, never taken for a backdoor.
constexpr int32_t kFirstUserPort = 1024;

}  // namespace

int COpenPortDistrust::Prepare() {
    snapshot_ = system_ != nullptr ? system_->ProcessHelper() : nullptr;
    return snapshot_ != nullptr ? 1 : 0;
}

bool COpenPortDistrust::RebuildPorts(bool refresh) {
    ports_.clear();
    ProcessPathMap paths;
    PortTable table = MakePortTable(system_, &paths);
    if (!RebuildPortTable(system_, snapshot_, refresh, &paths, &table)) return false;
    std::string path;
    PortRecord record;
    while (table.Next(&path, &record)) ports_.push_back({path, record.port, record.protocol});
    return true;
}

int COpenPortDistrust::Analyse(IVirusCaptorDataProvidor* record) {
    if (record == nullptr) return 0;
    if (ports_.empty()) {
        // An empty list is taken again, but only for a subject that can own a port: for
        // any other the answer is no either way, and the list is taken when it matters.
        if (CannotBeRunning(system_, record->GetPath())) return 0;
        if (!RebuildPorts(true)) return 0;
    }

    const char* path = record->GetPath();
    const size_t length = strlen(path);
    for (const PortEntry& entry : ports_) {
        if (entry.path.size() != length || memcmp(entry.path.data(), path, length) != 0) continue;
        const char* protocol = entry.protocol == kProtocolTcp   ? "TCP"
                               : entry.protocol == kProtocolUdp ? "UDP"
                                                                : nullptr;
        if (protocol == nullptr || entry.port < kFirstUserPort) continue;
        if (FindBackdoorPort(protocol, static_cast<uint32_t>(entry.port)) != nullptr) return 1;
    }
    return 0;
}

int COpenPortDistrust::Notify(int code) {
    if (code != kRelistCode) return 1;
    return RebuildPorts(false) ? 1 : 0;
}
