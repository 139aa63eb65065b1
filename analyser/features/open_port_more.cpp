#include "open_port_more.h"

#include "open_port_rebuild.h"

namespace {

constexpr int kManyPorts = 5;
constexpr int kRecountCode = 3;

}  // namespace

int COpenPortMore::Prepare() {
    snapshot_ = system_ != nullptr ? system_->ProcessHelper() : nullptr;
    return snapshot_ != nullptr ? 1 : 0;
}

bool COpenPortMore::RebuildCounts(bool refresh) {
    portCounts_.clear();
    ProcessPathMap paths;
    PortTable table = MakePortTable(system_, &paths);
    if (!RebuildPortTable(system_, snapshot_, refresh, &paths, &table)) return false;
    std::string path;
    while (table.Next(&path, nullptr)) {
        int count = 0;
        if (table.CountFor(path, &count)) portCounts_[path] = count;
    }
    return true;
}

int COpenPortMore::Analyse(IVirusCaptorDataProvidor* record) {
    if (record == nullptr) return 0;
    // The counts are renewed for every subject that can own ports at all; for one that
    // is no running program the renewed counts could not name it.
    if (CannotBeRunning(system_, record->GetPath())) {
        portCounts_.clear();
        return 0;
    }
    if (!RebuildCounts(true)) return 0;
    const auto found = portCounts_.find(record->GetPath());
    return found != portCounts_.end() && found->second > kManyPorts ? 1 : 0;
}

int COpenPortMore::Notify(int code) {
    if (code != kRecountCode) return 1;
    return RebuildCounts(false) ? 1 : 0;
}
