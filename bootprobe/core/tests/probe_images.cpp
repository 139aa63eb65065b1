#include "probe_images.h"

#include "pe_image_builder.h"

namespace probetest {
namespace {

using petest::PeImageBuilder;
using petest::Section;

constexpr unsigned kSecurityDirectory = 4;
constexpr uint32_t kSectionHeaderSize = 40;

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

PeImageBuilder Program() {
    PeImageBuilder builder;
    builder.EntryBytes({0x6A, 0x00, 0xC3});
    return builder;
}

std::vector<uint8_t> WithOverlay(const std::vector<uint8_t>& overlay) {
    return Program().Overlay(overlay).Build();
}

// The security directory names the certificate table the overlay begins with.
std::vector<uint8_t> NamedBySecurityDirectory() {
    petest::Layout layout;
    const std::vector<uint8_t> overlay = Join(CertificateHeader(), std::vector<uint8_t>(8, 0x30));
    Program().Overlay(overlay).Build(&layout);
    return Program()
        .Overlay(overlay)
        .DataDirectory(kSecurityDirectory, layout.overlayOffset,
                       static_cast<uint32_t>(overlay.size()))
        .Build();
}

// The last section's raw offset and size add up past 4 GiB; cut to 32 bits, their sum
// would point at a certificate header in the overlay.
std::vector<uint8_t> WrappingEnd() {
    petest::Layout layout;
    std::vector<uint8_t> image = Program().Overlay(CertificateHeader()).Build(&layout);
    const uint32_t header = layout.sectionTableOffset +
                            kSectionHeaderSize * static_cast<uint32_t>(layout.sections.size() - 1);
    petest::put32(image, header + 16, layout.overlayOffset + 0x1000);  // SizeOfRawData
    petest::put32(image, header + 20, 0xFFFFF000);                     // PointerToRawData
    return image;
}

// Two sections whose header order is not their order in the file: the second header's
// raw data ends where the first one's begins.
std::vector<uint8_t> OutOfOrder(bool headerAfterLastHeader) {
    Section later{".data", std::vector<uint8_t>(0x200, 0x11)};
    later.rawOffset = 0x600;
    later.virtualAddress = 0x2000;
    Section earlier{".text", std::vector<uint8_t>(0x200, 0x22)};
    earlier.rawOffset = 0x400;
    earlier.virtualAddress = 0x1000;
    if (headerAfterLastHeader) {
        petest::putBytes(later.data, 0, CertificateHeader());
        return PeImageBuilder().AddSection(later).AddSection(earlier).Build();
    }
    return PeImageBuilder()
        .AddSection(later)
        .AddSection(earlier)
        .Overlay(Join(CertificateHeader(), {0, 0}))
        .Build();
}

}  // namespace

std::vector<uint8_t> CertificateHeader() {
    return {0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02, 0x00};
}

std::vector<ProbeCase> StructuralCases() {
    const std::vector<uint8_t> header = CertificateHeader();
    std::vector<uint8_t> tenBytes = Bytes("MZ");
    tenBytes.resize(10);
    std::vector<uint8_t> nineBytes = tenBytes;
    nineBytes.pop_back();
    return {
        {"Empty", {}, 0},
        {"NineBytes", nineBytes, 0},
        {"TenByteMz", tenBytes, 1},
        {"Text", Bytes("[boot loader]\r\ntimeout=30\r\n"), 1},
        {"UnsignedProgram", Program().Build(), 1},
        {"HeaderInOverlay", WithOverlay(Join(header, std::vector<uint8_t>(8, 0x30))), 2},
        {"HeaderNamedBySecurityDirectory", NamedBySecurityDirectory(), 2},
        {"HeaderEightBytesLater", WithOverlay(Join(std::vector<uint8_t>(8, 0), header)), 1},
        {"HeaderIsAllThatFollows", WithOverlay(header), 2},
        {"SevenBytesFollow", WithOverlay({header.begin(), header.end() - 1}), 1},
        {"NoSections", PeImageBuilder().Overlay(header).Build(), 1},
        {"WrappingSectionEnd", WrappingEnd(), 1},
        {"LastHeaderNotFurthestSection", OutOfOrder(true), 2},
        {"FurthestSectionNotLastHeader", OutOfOrder(false), 1},
    };
}

}  // namespace probetest
