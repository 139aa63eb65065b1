#include "with_shell.h"

#include "image_frame.h"

int CWithShell::Prepare() {
    std::string directory;
    windowsDir_ =
        environment_->WindowsDirectory(&directory) ? environment_->ToLower(directory) : "";
    return 1;
}

int CWithShell::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [this, record](const ImageSubject& image) {
        if (image.reader.FindPackerName() == nullptr) return 0;
        // Without the Windows directory every path would begin with the empty text; a
        // feature that cannot decide answers no.
        if (windowsDir_.empty()) return 0;
        const std::string path = environment_->ToLower(record->GetPath());
        return path.compare(0, windowsDir_.size(), windowsDir_) == 0 ? 1 : 0;
    });
}
