// The first byte picks the parser: odd for the boot configuration reader, even for
// the structural certificate test. Holds for any bytes: no crash, no leak, no read
// outside them; a Windows directory comes only from a "default=" line and holds no ')';
// the host check, with these bytes as C:\boot.ini and a buffer of the length the rest
// of the first byte gives, answers 1 exactly when the reader finds a directory and
// writes "C:" and that directory cut to the buffer, zeros after it and nothing beyond.
// The certificate test answers one of its three states, and "unread" for a file too
// small to check.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "boot_ini.h"
#include "certificate_probe.h"
#include "host_search.h"

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

// A machine whose only drive is C:, with the bytes as its boot.ini and nothing else.
class OneBootIni final : public HostFileSystem {
public:
    OneBootIni(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool SystemDirectory(std::string* out) override {
        *out = "C:\\WINDOWS\\system32";
        return true;
    }
    bool IsFile(const std::string& path) override { return path == "C:\\boot.ini"; }
    std::unique_ptr<ByteSource> OpenRead(const std::string& path) override {
        if (!IsFile(path)) return nullptr;
        return std::make_unique<BytesSource>(data_, size_);
    }
    bool List(const std::string&, const Visit&) override { return false; }

private:
    const uint8_t* data_;
    size_t size_;
};

void CheckHostCheck(const uint8_t* data, size_t size, int length) {
    BytesSource source(data, size);
    const auto path = ReadBootDefaultPath(source);
    if (path && path->find(')') != std::string::npos) __builtin_trap();

    OneBootIni fs(data, size);
    // An exact-size block, so that a write past the length is a write past the block.
    std::vector<char> buffer(static_cast<size_t>(length));
    const int found = FindHostDirectory(fs, length > 0 ? buffer.data() : nullptr, length);
    if (found != (path && length > 0 ? 1 : 0)) __builtin_trap();
    if (length == 0) return;
    std::string expected = found ? (length > 2 ? "C:" : "") + *path : std::string();
    if (expected.size() > static_cast<size_t>(length) - 1) expected.resize(length - 1);
    expected.resize(static_cast<size_t>(length), '\0');
    if (std::memcmp(buffer.data(), expected.data(), expected.size()) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if ((data[0] & 1) != 0) {
        CheckHostCheck(data + 1, size - 1, data[0] >> 1);
        return 0;
    }
    const SignState state = ProbeAttributeCertificate(data + 1, size - 1);
    if (state != kSignUnread && state != kSignUnsigned && state != kSignSigned) __builtin_trap();
    if (size - 1 < kSmallestCheckedFile && state != kSignUnread) __builtin_trap();
    return 0;
}
