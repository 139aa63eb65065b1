#include <cstring>

#include "pe_image_builder.h"

namespace petest {

void put16(std::vector<uint8_t>& out, size_t offset, uint16_t value) {
    if (out.size() < offset + 2) out.resize(offset + 2, 0);
    out[offset] = static_cast<uint8_t>(value);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
    put16(out, offset, static_cast<uint16_t>(value));
    put16(out, offset + 2, static_cast<uint16_t>(value >> 16));
}

void putBytes(std::vector<uint8_t>& out, size_t offset, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return;
    if (out.size() < offset + bytes.size()) out.resize(offset + bytes.size(), 0);
    std::memcpy(out.data() + offset, bytes.data(), bytes.size());
}

uint16_t get16(const std::vector<uint8_t>& in, size_t offset) {
    auto at = [&](size_t i) -> uint16_t {
        return i < in.size() && offset < in.size() - i ? in[offset + i] : 0;
    };
    return static_cast<uint16_t>(at(0) | (at(1) << 8));
}

uint32_t get32(const std::vector<uint8_t>& in, size_t offset) {
    const uint32_t low = get16(in, offset);
    const uint32_t high = offset <= SIZE_MAX - 2 ? get16(in, offset + 2) : 0;
    return low | (high << 16);
}

std::vector<uint8_t> MakeIconImage(uint32_t size, uint8_t shade) {
    const uint32_t maskStride = (size + 31) / 32 * 4;
    std::vector<uint8_t> image(40, 0);
    put32(image, 0, 40);  // BITMAPINFOHEADER
    put32(image, 4, size);
    put32(image, 8, size * 2);  // XOR bitmap and AND mask stacked
    put16(image, 12, 1);
    put16(image, 14, 32);
    put32(image, 20, size * size * 4 + maskStride * size);
    for (uint32_t i = 0; i < size * size; ++i) {
        image.insert(image.end(), {shade, shade, shade, 0xFF});
    }
    image.resize(image.size() + maskStride * size, 0);  // all pixels opaque
    return image;
}

}  // namespace petest
