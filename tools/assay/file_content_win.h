#pragma once
// One file opened for scanning: its size, creation time and a read-only view of its
// bytes. The view covers the whole file; a file too large for the address space is
// viewed over its first 16 MiB, which is all the analyser keeps of any subject.
#include <windows.h>

#include <cstdint>
#include <string>

#include "handles.h"

// The analyser's own limit on the bytes it copies from a host.
constexpr uint64_t kAnalysedBytes = 16u * 1024 * 1024;

class MappedFile {
public:
    // False with a reason when the file cannot be opened, measured or mapped.
    bool Open(const std::wstring& path, std::string* why);

    uint64_t size() const { return size_; }
    // Seconds since 1970-01-01 UTC.
    int64_t createdSeconds() const { return createdSeconds_; }
    // Valid while the object lives; an empty file gives a valid pointer to nothing.
    const uint8_t* bytes() const { return bytes_; }

private:
    UniqueFile file_;
    UniqueHandle mapping_;
    UniqueView view_;
    uint64_t size_ = 0;
    int64_t createdSeconds_ = 0;
    const uint8_t* bytes_ = nullptr;
};

// FILETIME (100 ns since 1601) to seconds since 1970, rounded towards the past.
int64_t UnixSecondsFromFileTime(const FILETIME& time);
