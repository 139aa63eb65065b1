// The screening of files on disk reads their headers: files whose headers lie beyond the
// first page, far beyond it, or that are too large to read, answer as their bytes do.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "image_file_win.h"
#include "image_screen.h"
#include "pe_image_builder.h"
#include "scratch_dir_win.h"

namespace {

using petest::PeImageBuilder;

std::vector<uint8_t> Image(PeImageBuilder builder, int sections) {
    for (int i = 0; i < sections; ++i) {
        petest::Section section;
        section.name = ".s" + std::to_string(i);
        section.data.assign(0x200, 0xC3);
        builder.AddSection(section);
    }
    return builder.Build();
}

TEST(ImageFileReadTest, HeadersAnywhereInTheFile) {
    kvtest::ScratchDir dir;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {
        {"near.dll", Image(PeImageBuilder().Characteristics(0x2102), 1)},
        {"far.exe", Image(PeImageBuilder().Lfanew(9000), 2)},
        {"many.exe", Image(PeImageBuilder(), 150)},                    // section table past 4 KiB
        {"distant.sys", Image(PeImageBuilder().Lfanew(3u << 20), 1)},  // past what is read
        {"cut.exe", Image(PeImageBuilder().Lfanew(9000), 1)},
    };
    for (const auto& file : files) {
        std::vector<uint8_t> bytes = file.bytes;
        if (std::string(file.name) == "cut.exe") bytes.resize(9010);  // NT header cut short
        const std::string path = dir.Write(file.name, bytes);
        ASSERT_FALSE(path.empty());
        const uint16_t expected =
            ClassifyImageBytes(bytes.data(), static_cast<uint32_t>(bytes.size()), path.c_str());
        EXPECT_EQ(ClassifyImageFile(path.c_str()), expected) << file.name;
        EXPECT_NE(expected, kNotImage) << file.name;
        // Nothing of the check stays open: the file can be taken without sharing.
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE) << file.name;
        CloseHandle(handle);
    }
}

}  // namespace
