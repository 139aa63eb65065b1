#include "recent_create_time.h"

int CRecentCreateTime::Prepare() {
    std::string directory;
    windowsDir_ =
        environment_->WindowsDirectory(&directory) ? environment_->ToLower(directory) : "";
    return 1;
}

int CRecentCreateTime::Analyse(IVirusCaptorDataProvidor* record) {
    const int64_t now = environment_->Now();
    const int64_t created = *record->GetCreateTime();
    const std::string path = environment_->ToLower(record->GetPath());
    if (path.compare(0, windowsDir_.size(), windowsDir_) != 0) return 0;
    // Any stored value is accepted, so the difference wraps rather than overflows.
    const int64_t age =
        static_cast<int64_t>(static_cast<uint64_t>(now) - static_cast<uint64_t>(created));
    return age < kAgeLimit ? 1 : 0;
}
