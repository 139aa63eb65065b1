#pragma once
// One file read for scanning: its size, creation time and its bytes, as far as the
// analyser keeps them (the first 16 MiB). The bytes are read into a buffer that the
// object keeps from one file to the next: under Wine, mapping a file and unmapping it
// again costs more than reading it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win32/handles.h"

// The analyser's own limit on the bytes it copies from a host.
constexpr uint64_t kAnalysedBytes = 16u * 1024 * 1024;

class FileContent {
public:
    // Reads the file at `path`; false with a reason when it cannot be opened, measured
    // or read. What an earlier call read is gone either way.
    bool Read(const std::wstring& path, std::string* why);

    uint64_t size() const { return size_; }
    // Seconds since 1970-01-01 UTC.
    int64_t createdSeconds() const { return createdSeconds_; }
    // The first min(size, 16 MiB) bytes, valid until the next Read; an empty file gives
    // a valid pointer to nothing.
    const uint8_t* bytes() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_ = std::vector<uint8_t>(1);
    uint64_t size_ = 0;
    int64_t createdSeconds_ = 0;
};

// FILETIME (100 ns since 1601) to seconds since 1970, rounded towards the past.
int64_t UnixSecondsFromFileTime(const FILETIME& time);
