#include "related_by_auto_run.h"

#include <utility>

int CRelatedByAutoRun::Prepare() {
    autorunPaths_.clear();
    if (system_ == nullptr) return 1;
    std::vector<std::string> paths;
    system_->ReadAutorunPaths(&paths);
    // An empty entry (a blank run value) would match every subject without a
    // path.
    for (std::string& path : paths) {
        if (!path.empty()) autorunPaths_.push_back(std::move(path));
    }
    return 1;
}

int CRelatedByAutoRun::Analyse(IVirusCaptorDataProvidor* record) {
    if (record == nullptr || system_ == nullptr) return 0;
    const std::string path = record->GetPath();
    for (const std::string& autorun : autorunPaths_) {
        if (system_->SameTextIgnoringCase(path, autorun)) return 1;
    }
    return 0;
}
