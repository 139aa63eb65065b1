// The first byte picks the parser: odd for the boot configuration reader, even for
// the structural certificate test.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "boot_ini.h"
#include "certificate_probe.h"

namespace {

class BytesSource final : public ByteSource {
public:
    BytesSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Read(char* buffer, size_t capacity) override {
        // Uneven pieces, so that line endings fall across reads.
        size_t take = size_ < capacity ? size_ : capacity;
        if (take > 7) take = 7 + (size_ % 5);
        if (take > size_) take = size_;
        std::memcpy(buffer, data_, take);
        data_ += take;
        size_ -= take;
        return take;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if ((data[0] & 1) != 0) {
        BytesSource source(data + 1, size - 1);
        const auto path = ReadBootDefaultPath(source);
        if (path && path->find(')') != std::string::npos) __builtin_trap();
        return 0;
    }
    const SignState state = ProbeAttributeCertificate(data + 1, size - 1);
    if (state != kSignUnread && state != kSignUnsigned && state != kSignSigned) __builtin_trap();
    if (size - 1 < kSmallestCheckedFile && state != kSignUnread) __builtin_trap();
    return 0;
}
