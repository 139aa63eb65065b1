#include "certificate_probe.h"

#include <limits>

#include "pe_helper.h"

namespace {

// An attribute certificate header: 32-bit length, 16-bit revision, 16-bit type. The
// 16-bit value at 5 bytes in is the revision's high byte (0x02 of 0x0200) followed by
// the type's low byte (2): 0x0202.
constexpr uint64_t kCertificateHeaderSize = 8;
constexpr uint64_t kRevisionAndTypeOffset = 5;
constexpr uint16_t kRevisionAndType = 0x0202;

}  // namespace

SignState ProbeAttributeCertificate(const unsigned char* bytes, uint64_t size) {
    if (bytes == nullptr || size < kSmallestCheckedFile) return kSignUnread;

    CPEHelper& reader = ThePEHelper();
    // The headers and the section table lie at the start of an image; the reader takes
    // an int size, so a larger file is read as its first 2 GiB for them.
    const uint64_t readable = std::numeric_limits<int>::max();
    const int parseSize = static_cast<int>(size < readable ? size : readable);
    const bool parsed = reader.Parse(bytes, parseSize) == 1 && !reader.sections().empty();
    const SectionEntry last = parsed ? reader.sections().back() : SectionEntry{};
    reader.Reset();
    if (!parsed) return kSignUnsigned;

    // Both fields are 32-bit values from the file: their sum may pass 4 GiB.
    const uint64_t end = uint64_t{last.rawOffset} + last.rawSize;
    if (end >= size || size - end < kCertificateHeaderSize) return kSignUnsigned;
    const uint64_t at = end + kRevisionAndTypeOffset;
    const uint16_t revisionAndType = static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
    return revisionAndType == kRevisionAndType ? kSignSigned : kSignUnsigned;
}
