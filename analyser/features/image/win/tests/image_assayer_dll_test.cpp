// The image features inside Assayer.dll, as a host sees them: a dropper built here and a
// system library of the running system, each described from a file on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "assayer_host.h"
#include "image_test_support.h"
#include "scratch_dir_win.h"

namespace {

constexpr int kDefaultThreshold = 150;

petest::ImportDll DropperImports() {
    return {"KERNEL32.dll", {{"Sleep"}, {"CreateThread"}, {"GetProcAddress"}}};
}

std::vector<uint8_t> Dropper() {
    petest::Section data;
    data.name = ".kdata";
    data.characteristics = petest::kSectionData;
    const std::string texts = std::string(8, '\0') + "report to drop.box@mailhost.net" +
                              std::string(8, '\0') + "payload.exe" + std::string(8, '\0');
    data.data.assign(texts.begin(), texts.end());
    const std::vector<uint8_t> payload = Program({{"USER32.dll", {{"MessageBoxA"}}}}).Build();
    return Program({DropperImports()}).AddSection(data).Overlay(payload).Build();
}

class ImageFeaturesDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_unique<AssayerHost>();
        ASSERT_TRUE(host_->ready());
        ASSERT_TRUE(host_->Init(nullptr));
    }
    bool Judge(const std::string& path, const std::vector<uint8_t>& bytes) {
        host_->ReleaseInfo();
        host_->Describe(1, path, bytes);
        return host_->Analyse(1);
    }

    kvtest::ScratchDir dir_;
    std::unique_ptr<AssayerHost> host_;
};

TEST_F(ImageFeaturesDllTest, DropperIsSuspicious) {
    const std::vector<uint8_t> dropper = Dropper();
    EXPECT_TRUE(Judge(dir_.Write("dropper.exe", dropper), dropper));
    // Few imports, no version information, odd section names, listed imports, an
    // address and a second executable: 60 + 30 + 10 + 40 + 20 + 50.
    EXPECT_EQ(host_->Hits(), "CEHMNO");
    EXPECT_EQ(host_->Result(), 210);
    EXPECT_GT(host_->Result(), kDefaultThreshold);
}

TEST_F(ImageFeaturesDllTest, VersionInformationTakesAwayItsPoints) {
    const std::vector<uint8_t> program =
        Program({DropperImports()}).AddVersionInfo("(C) Someone").Build();
    EXPECT_FALSE(Judge(dir_.Write("kvsample.exe", program), program));
    EXPECT_EQ(host_->Hits(), "CHM");  // the resource section is one more odd name
    EXPECT_EQ(host_->Result(), 110);
}

TEST_F(ImageFeaturesDllTest, SystemLibraryIsNotSuspicious) {
    char directory[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryA(directory, MAX_PATH), 0u);
    const std::string path = std::string(directory) + "\\kernel32.dll";
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    ASSERT_FALSE(bytes.empty()) << path;
    EXPECT_FALSE(Judge(path, bytes));
    const std::string hits = host_->Hits();
    EXPECT_LE(host_->Result(), kDefaultThreshold) << hits;
    // It carries version information, imports plenty and holds no second image.
    EXPECT_EQ(hits.find_first_of("CEO"), std::string::npos) << hits;
}

}  // namespace
