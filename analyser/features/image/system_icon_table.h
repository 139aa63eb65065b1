#pragma once
// CRC-32 values of the icon images found in Windows system files.
#include <cstddef>
#include <cstdint>

constexpr size_t kSystemIconChecksumCount = 438;

// The table, sorted ascending, kSystemIconChecksumCount entries.
const uint32_t* SystemIconChecksums();

// True when `crc` is the checksum of a known system icon.
bool IsSystemIconChecksum(uint32_t crc);
