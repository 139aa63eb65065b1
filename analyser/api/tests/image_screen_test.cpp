#include <gtest/gtest.h>

#include <vector>

#include "image_screen.h"
#include "pe_image_builder.h"

namespace {

using petest::PeImageBuilder;

std::vector<uint8_t> GoodImage(PeImageBuilder builder = PeImageBuilder()) {
    petest::Section text;
    text.name = ".text";
    text.data.assign(0x300, 0x90);
    builder.AddSection(text);
    return builder.Build();
}

uint16_t Classify(const std::vector<uint8_t>& bytes, const char* path = "c:\\x\\a.exe") {
    return ClassifyImageBytes(bytes.data(), static_cast<uint32_t>(bytes.size()), path);
}

TEST(ImageScreenTest, ExecutableLibraryAndDriver) {
    EXPECT_EQ(Classify(GoodImage()), kExecutableImage);
    EXPECT_EQ(Classify(GoodImage(PeImageBuilder().Characteristics(0x2102))), kLibraryImage);
    EXPECT_EQ(Classify(GoodImage(), "c:\\w\\drivers\\x.sys"), kDriverImage);
    EXPECT_EQ(Classify(GoodImage(PeImageBuilder().Characteristics(0x2102)), "c:\\x.sys"),
              kLibraryImage);
    // The driver test is case-sensitive and looks at the last four characters only.
    EXPECT_EQ(Classify(GoodImage(), "c:\\x.SYS"), kExecutableImage);
    EXPECT_EQ(Classify(GoodImage(), "c:\\x.sys "), kExecutableImage);
    EXPECT_EQ(Classify(GoodImage(), "sys"), kExecutableImage);
    EXPECT_EQ(Classify(GoodImage(), ".sys"), kDriverImage);
    EXPECT_EQ(Classify(GoodImage(), nullptr), kExecutableImage);
}

TEST(ImageScreenTest, NotAnImage) {
    std::vector<uint8_t> small = GoodImage();
    small.resize(351);
    EXPECT_EQ(Classify(small), kNotImage);
    std::vector<uint8_t> text(1000, 'A');
    EXPECT_EQ(Classify(text), kNotImage);
    std::vector<uint8_t> zm = GoodImage();
    zm[0] = 'Z';
    zm[1] = 'M';
    EXPECT_EQ(Classify(zm), kNotImage);
}

TEST(ImageScreenTest, HeaderOffsetOutsideTheFile) {
    std::vector<uint8_t> image = GoodImage();
    const uint32_t size = static_cast<uint32_t>(image.size());
    petest::put32(image, 60, size + 1);
    EXPECT_EQ(Classify(image), kNotImage);
    petest::put32(image, 60, 0x80000000u);  // before the start of the file
    EXPECT_EQ(Classify(image), kNotImage);
    petest::put32(image, 60, 0xFFFFFFFFu);
    EXPECT_EQ(Classify(image), kNotImage);
    // At or just before the end there is no whole signature to read.
    petest::put32(image, 60, size);
    EXPECT_EQ(Classify(image), kDamagedImage);
    petest::put32(image, 60, size - 3);
    EXPECT_EQ(Classify(image), kDamagedImage);
}

TEST(ImageScreenTest, DamagedOrForeignHeaders) {
    std::vector<uint8_t> base = GoodImage();
    EXPECT_EQ(Classify(GoodImage(PeImageBuilder().Magic(0x20B))), kDamagedImage);
    EXPECT_EQ(Classify(GoodImage(PeImageBuilder().Characteristics(0x0100))), kDamagedImage);
    EXPECT_EQ(Classify(GoodImage(PeImageBuilder().NumberOfSectionsOverride(0))), kDamagedImage);
    EXPECT_EQ(Classify(GoodImage(PeImageBuilder().NumberOfSectionsOverride(60))), kDamagedImage);

    // An optional header that pushes the section table past the end of the file.
    std::vector<uint8_t> longOptional = base;
    petest::put16(longOptional, 0x80 + 20, 0xFFFF);
    EXPECT_EQ(Classify(longOptional), kDamagedImage);

    std::vector<uint8_t> noSignature = base;
    noSignature[0x80] = 'N';
    EXPECT_EQ(Classify(noSignature), kDamagedImage);
}

TEST(ImageScreenTest, SectionDataBeyondTheEnd) {
    petest::Layout layout;
    PeImageBuilder builder;
    petest::Section text;
    text.name = ".text";
    text.data.assign(0x200, 0x90);
    builder.AddSection(text);
    std::vector<uint8_t> image = builder.Build(&layout);
    const size_t header = layout.sectionTableOffset;
    const uint32_t size = static_cast<uint32_t>(image.size());

    std::vector<uint8_t> atEnd = image;
    petest::put32(atEnd, header + 20, size);
    EXPECT_EQ(Classify(atEnd), kDamagedImage);
    petest::put32(atEnd, header + 20, size - 1);
    EXPECT_EQ(Classify(atEnd), kExecutableImage);
    // A section without raw data may point anywhere.
    petest::put32(atEnd, header + 16, 0);
    petest::put32(atEnd, header + 20, 0xFFFFFFF0u);
    EXPECT_EQ(Classify(atEnd), kExecutableImage);
}

TEST(ImageScreenTest, SectionTableMustFitWhole) {
    petest::Layout layout;
    PeImageBuilder builder;
    petest::Section empty;
    empty.name = ".bss";
    empty.rawSize = 0;
    empty.virtualSize = 0x1000;
    builder.AddSection(empty);
    std::vector<uint8_t> image = builder.Build(&layout);
    const size_t tableEnd = layout.sectionTableOffset + 40;
    ASSERT_GT(tableEnd, kSmallestImageFile + 1);
    image.resize(tableEnd);
    EXPECT_EQ(Classify(image), kExecutableImage);
    image.resize(tableEnd - 1);
    EXPECT_EQ(Classify(image), kDamagedImage);
}

}  // namespace
