// Packed programs and installer stubs that no one here wrote, from Debian packages:
// the test files of a virus scanner (one harmless program packed by a dozen tools)
// and the installer system's own stubs. Each must be named by the packer row of the
// tool that made it; the original program by none. (The Upack sample is not among
// them: its section table lies where a full optional header would end, not where the
// reader looks for it, so its entry offset falls past the end of the file.)
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "pe_test_util.h"

namespace {

struct Sample {
    const char* file;
    const char* packer;  // the row's name up to " -> ", or "" for none
};

// The scanner's packed test programs and the packer row each one is evidence for.
const Sample kPackedSamples[] = {
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
const char* const kStubRows[] = {"Nullsoft Install System 3.x (ANSI, GCC build)",
                                 "Nullsoft Install System 3.x (Unicode, GCC build)"};

std::string Tool(const std::string& name) {
    return name.substr(0, name.find(" -> "));
}

// Every row that a file on this machine vouches for is in the tables, whether or not
// the file is here today.
TEST(PackedSamplesTest, RowsWithEvidenceAreInTheTables) {
    CPEHelper helper;
    std::set<std::string> tools;
    for (const auto& row : helper.packers().sparse()) tools.insert(Tool(row.name));
    for (const auto& row : helper.packers().exact()) tools.insert(Tool(row.name));
    for (const Sample& sample : kPackedSamples) {
        if (*sample.packer != '\0') EXPECT_EQ(1u, tools.count(sample.packer)) << sample.file;
    }
    for (const char* row : kStubRows) EXPECT_EQ(1u, tools.count(row)) << row;
}

#ifdef KV_SHARE_DIR
namespace fs = std::filesystem;

std::string PackerOf(CPEHelper& helper, const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (ParseImage(helper, bytes) != 1) return "(not an image)";
    const char* name = helper.FindPackerName();
    return name != nullptr ? name : "";
}

std::string PackerOf(const fs::path& path) {
    CPEHelper helper;
    return PackerOf(helper, path);
}

TEST(PackedSamplesTest, EachPackedProgramIsNamedByItsPacker) {
    const fs::path dir = fs::path(KV_SHARE_DIR) / "clamav-testfiles";
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no packed samples at " << dir;
    for (const Sample& sample : kPackedSamples) {
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
        EXPECT_EQ(Tool(PackerOf(entry.path())), kStubRows[unicode ? 1 : 0]) << name;
    }
    EXPECT_EQ(stubs, 12);
}
// An analyst's database that no one here wrote: the one Debian's PE tools package
// installs, read where it lies.
fs::path PevDatabase() {
    return fs::path(KV_SHARE_DIR) / "pev" / "userdb.txt";
}

// Lines that open a block, and blocks marked not entry-point only, counted plainly.
void CountBlocks(const fs::path& path, size_t* blocks, size_t* notEntryOnly) {
    std::ifstream in(path, std::ios::binary);
    *blocks = *notEntryOnly = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 1, "[") == 0) ++*blocks;
        if (line.compare(0, 15, "ep_only = false") == 0) ++*notEntryOnly;
    }
}

TEST(PevDatabaseTest, LoadsWithCountsThatAddUp) {
    const fs::path db = PevDatabase();
    if (!fs::is_regular_file(db)) GTEST_SKIP() << "no signature database at " << db;
    CPEHelper helper;
    char message[256] = {};
    const int added = helper.LoadSignatures(db.string().c_str(), message, sizeof(message));
    std::printf("%s\n", message);
    unsigned long reportedAdded = 0, reportedSkipped = 0;
    ASSERT_EQ(2, std::sscanf(message, "%lu added; %lu skipped", &reportedAdded, &reportedSkipped))
        << message;
    size_t blocks = 0, notEntryOnly = 0;
    CountBlocks(db, &blocks, &notEntryOnly);
    EXPECT_EQ(static_cast<unsigned long>(added), reportedAdded);
    EXPECT_EQ(static_cast<size_t>(added), helper.packers().user().size());
    EXPECT_EQ(blocks, reportedAdded + reportedSkipped);
    EXPECT_GT(static_cast<size_t>(added), blocks / 2);
    const std::string text = message;
    EXPECT_NE(std::string::npos, text.find(std::to_string(notEntryOnly) + " not entry-point only"));
    EXPECT_EQ(std::string::npos, text.find("malformed"));
    // Everything in it is held now.
    EXPECT_EQ(0, helper.LoadSignatures(db.string().c_str(), nullptr, 0));
}

TEST(PevDatabaseTest, PackedSamplesAreNamedWithItLoaded) {
    const fs::path db = PevDatabase();
    const fs::path dir = fs::path(KV_SHARE_DIR) / "clamav-testfiles";
    if (!fs::is_regular_file(db)) GTEST_SKIP() << "no signature database at " << db;
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no packed samples at " << dir;

    // Beside the built-in rows, the built-in names still win.
    CPEHelper helper;
    ASSERT_GT(helper.LoadSignatures(db.string().c_str(), nullptr, 0), 0);
    for (const Sample& sample : kPackedSamples) {
        if (*sample.packer == '\0') continue;
        EXPECT_EQ(Tool(PackerOf(helper, dir / sample.file)), sample.packer) << sample.file;
    }

    // Its rows alone name the samples after the tool that packed them.
    SignatureSet alone("", "");
    SignatureLoadReport report;
    std::string why;
    ASSERT_TRUE(alone.AddUserRows(
        [&](SignatureDatabaseParser& parser) {
            return ReadSignatureFile(
                db.string().c_str(),
                [&](const char* data, size_t size) { parser.Feed(data, size); }, &why);
        },
        &report))
        << why;
    const Sample byTool[] = {{"clam.exe", ""},
                             {"clam-aspack.exe", "aspack"},
                             {"clam-mew.exe", "mew"},
                             {"clam-pespin.exe", "pespin"},
                             {"clam-petite.exe", "petite"},
                             {"clam-upx.exe", "upx"},
                             {"clam-wwpack.exe", "wwpack"},
                             {"clam.ea05.exe", "upx"},
                             {"clam.ea06.exe", "upx"}};
    for (const Sample& sample : byTool) {
        const std::vector<uint8_t> bytes = ReadFileBytes(dir / sample.file);
        ASSERT_EQ(1, ParseImage(helper, bytes)) << sample.file;
        const char* name =
            alone.Find(ImageView(bytes.data(), bytes.size()), helper.GetEntryOffset());
        std::string lower = name != nullptr ? name : "";
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (*sample.packer == '\0') {
            EXPECT_EQ(nullptr, name) << sample.file << ": " << lower;
        } else {
            EXPECT_NE(std::string::npos, lower.find(sample.packer)) << sample.file << ": " << lower;
        }
    }
}
#endif

}  // namespace
