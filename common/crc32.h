#pragma once
// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320, initial value all ones,
// final complement), used to compare names and resource data with built-in tables.
#include <cstdint>

class CCRC32 {
public:
    virtual ~CCRC32();

    // 0 when `data` or `crcOut` is null or `length` is 0 (then *crcOut is untouched);
    // otherwise 1 with *crcOut = the CRC-32 of the block.
    int Compute(const void* data, uint32_t length, uint32_t* crcOut) const;
};
