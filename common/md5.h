#pragma once
// MD5 (RFC 1321) of one memory block at a time.
#include <cstddef>
#include <cstdint>

class CMD5Class {
public:
    CMD5Class();
    virtual ~CMD5Class();

    // Writes the 16 raw digest bytes of `length` bytes at `data` into `digestOut`.
    // Every call starts from the standard initial values, so one object can digest
    // several blocks in turn. Always returns 1.
    int Digest(const void* data, unsigned char* digestOut, uint32_t length);

private:
    void Init();
    void Update(const unsigned char* data, size_t length);
    void Final(unsigned char* digestOut);
    void Transform(const unsigned char block[64]);

    uint64_t bitCount_ = 0;
    uint32_t state_[4] = {};
    unsigned char buffer_[64] = {};
    static const unsigned char kPadding[64];
};
