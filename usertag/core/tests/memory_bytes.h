#pragma once
// The list reader's and writer's ends in memory, for the native tests and the fuzz target.
#include <cstdint>
#include <cstring>
#include <string>

#include "list_format.h"

// Reads from `size` bytes at `data`; fails any read that would reach past `failAt`.
class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size, size_t failAt = SIZE_MAX)
        : data_(static_cast<const unsigned char*>(data)), size_(size), failAt_(failAt) {}
    bool Read(void* out, size_t size) override {
        if (size > size_ - offset_ || size > failAt_ - offset_) return false;
        std::memcpy(out, data_ + offset_, size);
        offset_ += size;
        return true;
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t failAt_;
    size_t offset_ = 0;
};

// Fails any write that would reach past `failAt`.
class MemorySink : public ByteSink {
public:
    explicit MemorySink(size_t failAt = SIZE_MAX) : failAt_(failAt) {}
    bool Write(const void* data, size_t size) override {
        if (size > failAt_ - bytes.size()) return false;
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string bytes;

private:
    size_t failAt_;
};
