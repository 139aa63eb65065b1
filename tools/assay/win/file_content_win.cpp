#include "file_content_win.h"

#include "text_win.h"

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

bool FileContent::Read(const std::wstring& path, std::string* why) {
    size_ = 0;
    createdSeconds_ = 0;
    // Writers and deleters are let in: a file being replaced is scanned as it was.
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        *why = "cannot open: " + ErrorText(GetLastError());
        return false;
    }
    // Size and creation time one by one: under Wine, GetFileInformationByHandle asks
    // for the volume's serial number as well and costs ten times as much.
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) {
        *why = "cannot read its size: " + ErrorText(GetLastError());
        return false;
    }
    FILETIME created;
    if (!GetFileTime(file.get(), &created, nullptr, nullptr)) {
        *why = "cannot read its creation time: " + ErrorText(GetLastError());
        return false;
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
    createdSeconds_ = UnixSecondsFromFileTime(created);

    const DWORD wanted = static_cast<DWORD>(size_ < kAnalysedBytes ? size_ : kAnalysedBytes);
    // One byte more than the file holds, so that an empty file has a valid pointer too.
    if (bytes_.size() < static_cast<size_t>(wanted) + 1) bytes_.resize(wanted + 1);
    DWORD have = 0;
    while (have < wanted) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes_.data() + have, wanted - have, &got, nullptr)) {
            *why = "cannot read: " + ErrorText(GetLastError());
            return false;
        }
        if (got == 0) {
            *why = "cannot read: the file became shorter while it was read";
            return false;
        }
        have += got;
    }
    return true;
}
