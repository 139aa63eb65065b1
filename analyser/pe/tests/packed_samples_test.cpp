// Packed programs and installer stubs that no one here wrote, from Debian packages:
// the test files of a virus scanner (one harmless program packed by a dozen tools)
// and the installer system's own stubs. Each must be named by the packer row of the
// tool that made it; the original program by none. (The Upack sample is not among
// them: its section table lies where a full optional header would end, not where the
// reader looks for it, so its entry offset falls past the end of the file.)
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "pe_test_util.h"

namespace {

#ifdef KV_SHARE_DIR
namespace fs = std::filesystem;

std::string PackerOf(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    CPEHelper helper;
    if (ParseImage(helper, bytes) != 1) return "(not an image)";
    const char* name = helper.FindPackerName();
    return name != nullptr ? name : "";
}

struct Sample {
    const char* file;
    const char* packer;  // the row's name up to " -> ", or "" for none
};

std::string Tool(const std::string& name) {
    return name.substr(0, name.find(" -> "));
}

TEST(PackedSamplesTest, EachPackedProgramIsNamedByItsPacker) {
    const fs::path dir = fs::path(KV_SHARE_DIR) / "clamav-testfiles";
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no packed samples at " << dir;
    const Sample samples[] = {
        {"clam.exe", ""},
        {"clam-aspack.exe", "ASPack 2.12"},
        {"clam-mew.exe", "MEW 11 SE 1.x"},
        {"clam-nsis.exe", "Nullsoft Install System 2.46 - 3.x"},
        {"clam-pespin.exe", "PESpin 1.x"},
        {"clam-petite.exe", "Petite 2.1 - 2.2"},
        {"clam-upx.exe", "UPX 1.x - 3.x (NRV2B)"},
        {"clam-wwpack.exe", "WWPack32 1.x"},
        {"clam-yc.exe", "Yoda's Crypter 1.x"},
        {"clam.ea05.exe", "UPX 2.x - 3.x (NRV2B, short entry)"},
        {"clam.ea06.exe", "UPX 2.x - 3.x (NRV2B, short entry)"},
    };
    for (const Sample& sample : samples) {
        EXPECT_EQ(Tool(PackerOf(dir / sample.file)), sample.packer) << sample.file;
    }
}

TEST(PackedSamplesTest, CompilerRowsNameOnlyTheUnpackedCompilerOutput) {
    const fs::path dir = fs::path(KV_SHARE_DIR) / "clamav-testfiles";
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no packed samples at " << dir;
    // An installer built with that compiler, its start-up code untouched.
    for (const char* file : {"clam_ISmsi_ext.exe", "clam_ISmsi_int.exe"}) {
        const std::vector<uint8_t> bytes = ReadFileBytes(dir / file);
        CPEHelper helper;
        ASSERT_EQ(ParseImage(helper, bytes), 1) << file;
        const char* compiler = helper.FindCompilerName();
        EXPECT_STREQ(compiler != nullptr ? compiler : "", "Microsoft Visual C++ 6.0") << file;
    }
    // A packer's stub is no compiler's start-up code.
    for (const char* file : {"clam-upx.exe", "clam-aspack.exe", "clam-petite.exe"}) {
        const std::vector<uint8_t> bytes = ReadFileBytes(dir / file);
        CPEHelper helper;
        ASSERT_EQ(ParseImage(helper, bytes), 1) << file;
        EXPECT_EQ(helper.FindCompilerName(), nullptr) << file;
    }
}

TEST(PackedSamplesTest, InstallerStubsAreNamed) {
    const fs::path dir = fs::path(KV_SHARE_DIR) / "nsis" / "Stubs";
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no installer stubs at " << dir;
    int stubs = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        // 32-bit stubs only; the 64-bit ones are not images this reader parses.
        if (name.find("-x86-") == std::string::npos) continue;
        ++stubs;
        const bool unicode = name.find("unicode") != std::string::npos;
        EXPECT_EQ(Tool(PackerOf(entry.path())),
                  unicode ? "Nullsoft Install System 3.x (Unicode, GCC build)"
                          : "Nullsoft Install System 3.x (ANSI, GCC build)")
            << name;
    }
    EXPECT_EQ(stubs, 12);
}
#endif

}  // namespace
