#include "in_sys_dir.h"

int CInSysDir::Prepare() {
    // A failed query keeps whatever the feature already had.
    std::string directory;
    if (!environment_->WindowsDirectory(&directory)) return 0;
    windowsDir_ = environment_->ToLower(directory);
    if (!environment_->SystemDirectory(&directory)) return 0;
    systemDir_ = environment_->ToLower(directory);
    return 1;
}

int CInSysDir::Analyse(IVirusCaptorDataProvidor* record) {
    const std::string path = environment_->ToLower(record->GetPath());
    if (path.find(windowsDir_) != std::string::npos) return 1;
    if (path.find(systemDir_) != std::string::npos) return 1;
    return 0;
}
