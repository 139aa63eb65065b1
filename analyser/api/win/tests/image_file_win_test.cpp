#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "analyser_platform_win.h"
#include "image_file_win.h"
#include "image_screen.h"
#include "pe_image_builder.h"
#include "scratch_dir_win.h"

namespace {

using petest::PeImageBuilder;

std::vector<uint8_t> Image(PeImageBuilder builder = PeImageBuilder()) {
    petest::Section text;
    text.name = ".text";
    text.data.assign(0x300, 0xC3);
    builder.AddSection(text);
    return builder.Build();
}

// The file can be opened without sharing and deleted only when every handle, mapping
// and view of the check was closed.
bool NothingLeftOpen(const std::string& file) {
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

class ImageFileTest : public ::testing::Test {
protected:
    uint16_t Check(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string file = dir_.Write(name, bytes);
        EXPECT_FALSE(file.empty());
        const uint16_t code = ClassifyImageFile(file.c_str());
        EXPECT_TRUE(NothingLeftOpen(file)) << name;
        return code;
    }
    kvtest::ScratchDir dir_;
};

TEST_F(ImageFileTest, NoPathOrNoFile) {
    EXPECT_EQ(ClassifyImageFile(nullptr), kNoPath);
    EXPECT_EQ(ClassifyImageFile(""), kNoPath);
    EXPECT_EQ(ClassifyImageFile((dir_.path() + "\\missing.exe").c_str()), kOpenFailed);
    EXPECT_EQ(ClassifyImageFile(dir_.path().c_str()), kOpenFailed);  // a directory
}

TEST_F(ImageFileTest, SmallOrForeignFilesAreNotImages) {
    std::vector<uint8_t> tiny = Image();
    tiny.resize(200);
    EXPECT_EQ(Check("tiny.exe", tiny), kNotImage);
    EXPECT_EQ(Check("empty.exe", {}), kNotImage);
    EXPECT_EQ(Check("text.exe", std::vector<uint8_t>(1000, 'T')), kNotImage);
    std::vector<uint8_t> distant = Image();
    petest::put32(distant, 60, static_cast<uint32_t>(distant.size()) + 16);
    EXPECT_EQ(Check("distant.exe", distant), kNotImage);
}

TEST_F(ImageFileTest, ImageKinds) {
    EXPECT_EQ(Check("app.exe", Image()), kExecutableImage);
    EXPECT_EQ(Check("lib.dll", Image(PeImageBuilder().Characteristics(0x2102))), kLibraryImage);
    EXPECT_EQ(Check("drv.sys", Image()), kDriverImage);
    EXPECT_EQ(Check("libdrv.sys", Image(PeImageBuilder().Characteristics(0x2102))), kLibraryImage);
    EXPECT_EQ(Check("wide.exe", Image(PeImageBuilder().Magic(0x20B))), kDamagedImage);
    EXPECT_EQ(Check("obj.exe", Image(PeImageBuilder().Characteristics(0x0100))), kDamagedImage);
}

TEST_F(ImageFileTest, FileSharedForWritingCannotBeOpened) {
    const std::string file = dir_.Write("busy.exe", Image());
    HANDLE writer = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // The check asks for read sharing only, which a writer already holding it refuses.
    EXPECT_EQ(ClassifyImageFile(file.c_str()), kOpenFailed);
    CloseHandle(writer);
    EXPECT_EQ(ClassifyImageFile(file.c_str()), kExecutableImage);
    // A host or scanner that has the file open for reading does not keep the check out.
    HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ClassifyImageFile(file.c_str()), kExecutableImage);
    CloseHandle(reader);
}

TEST(AnalyserDirectoriesTest, LowerCasedSystemDirectories) {
    const AnalyserDirectories directories = ReadAnalyserDirectories();
    EXPECT_EQ(directories.windowsDir, "c:\\windows");
    EXPECT_EQ(directories.systemDir, "c:\\windows\\system32");
    EXPECT_EQ(directories.programFilesDir, "c:\\program files");
}

}  // namespace
