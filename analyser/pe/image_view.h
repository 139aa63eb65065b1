#pragma once
// The one way the reader touches image bytes: every read names an offset and a length
// and gets nothing back when those bytes are not all inside the image. Offsets are
// 64-bit so that sums of 32-bit fields read from a file can never wrap.
#include <cstdint>
#include <cstring>

class ImageView {
public:
    ImageView() = default;
    ImageView(const unsigned char* data, uint64_t size)
        : data_(data), size_(data == nullptr ? 0 : size) {}

    const unsigned char* data() const { return data_; }
    uint64_t size() const { return size_; }

    // True when the `length` bytes at `offset` lie inside the image (by subtraction).
    bool Has(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    // True for an offset of an existing byte.
    bool Contains(int64_t offset) const {
        return offset >= 0 && static_cast<uint64_t>(offset) < size_;
    }

    // The bytes at `offset`, or null when they are not all inside the image.
    const unsigned char* Span(uint64_t offset, uint64_t length) const {
        return Has(offset, length) ? data_ + offset : nullptr;
    }

    bool Read8(uint64_t offset, uint8_t* out) const {
        if (!Has(offset, 1)) return false;
        *out = data_[offset];
        return true;
    }
    bool Read16(uint64_t offset, uint16_t* out) const {
        if (!Has(offset, 2)) return false;
        *out = static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
        return true;
    }
    bool Read32(uint64_t offset, uint32_t* out) const {
        if (!Has(offset, 4)) return false;
        const unsigned char* p = data_ + offset;
        *out = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        return true;
    }
    // A 32-bit field whose absence a caller may treat as 0 (header fields that lie
    // inside a region already checked to fit).
    uint32_t Read32Or0(uint64_t offset) const {
        uint32_t value = 0;
        return Read32(offset, &value) ? value : 0;
    }
    uint16_t Read16Or0(uint64_t offset) const {
        uint16_t value = 0;
        return Read16(offset, &value) ? value : 0;
    }

private:
    const unsigned char* data_ = nullptr;
    uint64_t size_ = 0;
};
