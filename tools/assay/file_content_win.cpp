#include "mapped_file_win.h"

#include "text_win.h"

namespace {
const uint8_t kNoBytes[1] = {0};
}  // namespace

int64_t UnixSecondsFromFileTime(const FILETIME& time) {
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                               time.dwLowDateTime);
    constexpr int64_t kTicksPerSecond = 10000000;
    constexpr int64_t kEpochTicks = 116444736000000000;  // 1970-01-01 in 1601 ticks
    const int64_t since1970 = ticks - kEpochTicks;
    // Floor division, so a moment before 1970 does not round up to a later second.
    int64_t seconds = since1970 / kTicksPerSecond;
    if (since1970 % kTicksPerSecond < 0) --seconds;
    return seconds;
}

bool MappedFile::Open(const std::wstring& path, std::string* why) {
    // Writers and deleters are let in: a file being replaced is scanned as it was.
    file_.reset(CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file_) {
        *why = "cannot open: " + ErrorText(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file_.get(), &info)) {
        *why = "cannot read its size: " + ErrorText(GetLastError());
        return false;
    }
    size_ = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    createdSeconds_ = UnixSecondsFromFileTime(info.ftCreationTime);
    if (size_ == 0) {
        // No mapping of an empty file exists; the analyser still gets a subject.
        bytes_ = kNoBytes;
        return true;
    }
    mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) {
        *why = "cannot map: " + ErrorText(GetLastError());
        return false;
    }
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view_ && size_ > kAnalysedBytes) {
        view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0,
                                  static_cast<SIZE_T>(kAnalysedBytes)));
    }
    if (!view_) {
        *why = "cannot map: " + ErrorText(GetLastError());
        return false;
    }
    bytes_ = static_cast<const uint8_t*>(view_.get());
    return true;
}
