// Loads builder images with the system loader as data files, so the resource tree and
// version info are read by Windows (or Wine) itself rather than by our own reader.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pe_image_builder.h"
#include "scratch_dir_win.h"

namespace {

using petest::PeImageBuilder;

const char kCopyright[] = "Copyright (C) 2026 Example Works";

std::vector<uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

// A temporary file holding one image, removed again when the test ends.
class TempImage {
public:
    explicit TempImage(const std::vector<uint8_t>& bytes) : path_(dir_.Write("image.tmp", bytes)) {}
    bool ok() const { return !path_.empty(); }
    const char* path() const { return path_.c_str(); }

private:
    kvtest::ScratchDir dir_{"peb"};
    std::string path_;
};

struct ModuleFreer {
    void operator()(HMODULE m) const { FreeLibrary(m); }
};
using ModulePtr = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

std::vector<uint8_t> ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC info = FindResourceA(module, name, type);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);
    const void* bits = loaded ? LockResource(loaded) : nullptr;
    if (!bits) return {};
    const auto* p = static_cast<const uint8_t*>(bits);
    return std::vector<uint8_t>(p, p + SizeofResource(module, info));
}

std::vector<uint8_t> SampleImage() {
    return PeImageBuilder()
        .EntryBytes({0xC3})
        .AddIcon(1, petest::MakeIconImage(16, 0x40))
        .AddIcon(2, petest::MakeIconImage(32, 0x80))
        .AddGroupIcon(101, {1, 2})
        .AddVersionInfo(kCopyright)
        .AddResource({0, "MYTYPE"}, {0, "GAMMA"}, Text("gamma"))
        .AddResource({0, "MYTYPE"}, {0, "ALPHA"}, Text("alpha"))
        .AddResource({0, "MYTYPE"}, {0, "DELTA"}, Text("delta"))
        .AddResource({0, "MYTYPE"}, {0, "BETA"}, Text("beta"))
        .AddResource({0, "MYTYPE"}, {5, ""}, Text("five"))
        .AddResource({0, "ANOTHER"}, {1, ""}, Text("another"))
        .Build();
}

class WineResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(image_.ok()) << "cannot write the sample image";
        SetLastError(0xDEADBEEF);
        module_.reset(LoadLibraryExA(image_.path(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module_) << "LoadLibraryExA failed, error " << GetLastError();
    }

    TempImage image_{SampleImage()};
    ModulePtr module_;
};

TEST_F(WineResourceTest, IconsAndGroupIconReadBack) {
    EXPECT_EQ(ResourceBytes(module_.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(3)),
              petest::MakeIconImage(16, 0x40));
    EXPECT_EQ(ResourceBytes(module_.get(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(3)),
              petest::MakeIconImage(32, 0x80));
    std::vector<uint8_t> group =
        ResourceBytes(module_.get(), MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(14));
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    // The system's own icon picker reads the GRPICONDIR entries.
    EXPECT_EQ(LookupIconIdFromDirectoryEx(group.data(), TRUE, 32, 32, LR_DEFAULTCOLOR), 2);
    EXPECT_EQ(LookupIconIdFromDirectoryEx(group.data(), TRUE, 16, 16, LR_DEFAULTCOLOR), 1);
}

TEST_F(WineResourceTest, NamedEntriesAreFoundByBinarySearch) {
    // The loader searches named entries by binary search, case-insensitively, so
    // every name is found only if the builder sorted them.
    for (const char* name : {"ALPHA", "beta", "Gamma", "DELTA"}) {
        std::string lower(name);
        for (char& c : lower) c = static_cast<char>(tolower(c));
        EXPECT_EQ(ResourceBytes(module_.get(), name, "mytype"), Text(lower)) << name;
    }
    EXPECT_EQ(ResourceBytes(module_.get(), MAKEINTRESOURCEA(5), "MYTYPE"), Text("five"));
    EXPECT_EQ(ResourceBytes(module_.get(), MAKEINTRESOURCEA(1), "ANOTHER"), Text("another"));
    EXPECT_EQ(FindResourceA(module_.get(), "EPSILON", "MYTYPE"), nullptr);
}

TEST_F(WineResourceTest, VersionInfoLegalCopyright) {
    DWORD ignored = 0;
    SetLastError(0xDEADBEEF);
    const DWORD size = GetFileVersionInfoSizeA(image_.path(), &ignored);
    ASSERT_NE(size, 0u) << "GetFileVersionInfoSizeA failed, error " << GetLastError();
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(image_.path(), 0, size, info.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);

    ASSERT_TRUE(
        VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\LegalCopyright", &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), kCopyright);

    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(petest::get32({static_cast<uint8_t*>(value), static_cast<uint8_t*>(value) + 4}, 0),
              0x04B00409u);
}

}  // namespace
