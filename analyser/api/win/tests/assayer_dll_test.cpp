#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assayer_host.h"
#include "pe_image_builder.h"
#include "quiet_image.h"
#include "scratch_dir_win.h"

namespace {

using petest::PeImageBuilder;

constexpr int64_t kDay = 86400;

std::vector<uint8_t> Image(PeImageBuilder builder = PeImageBuilder()) {
    return QuietImage(std::move(builder));
}

class AssayerDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetModuleHandleA("Assayer.dll"), nullptr) << "a previous host kept it loaded";
        host_ = std::make_unique<AssayerHost>();
        ASSERT_TRUE(host_->ready());
    }
    void TearDown() override {
        host_.reset();
        EXPECT_EQ(GetModuleHandleA("Assayer.dll"), nullptr);
    }
    // A file on disk described with its own bytes.
    void DescribeFile(int id, const std::string& name, const std::vector<uint8_t>& bytes) {
        host_->Describe(id, dir_.Write(name, bytes), bytes);
    }

    kvtest::ScratchDir dir_;
    std::unique_ptr<AssayerHost> host_;
    const std::vector<uint8_t> someBytes_ = QuietImage();
};

TEST_F(AssayerDllTest, BeforeInitNothingIsSuspicious) {
    host_->Describe(1, "C:\\windows\\1a.jpg.exe", someBytes_, NowSeconds());
    EXPECT_FALSE(host_->Analyse(1));
    EXPECT_EQ(host_->Result(), 0);
    EXPECT_EQ(host_->Hits(), "");
}

TEST_F(AssayerDllTest, ExportResults) {
    EXPECT_EQ(host_->Release(), 1);
    EXPECT_TRUE(host_->Init(nullptr));
    EXPECT_TRUE(host_->Append(1, 9, nullptr));
    EXPECT_TRUE(host_->ReleaseInfo());
}

TEST_F(AssayerDllTest, UnknownSubject) {
    host_->Init(nullptr);
    host_->Describe(1, "C:\\windows\\1a.jpg.exe", someBytes_, NowSeconds());
    EXPECT_FALSE(host_->Analyse(1));
    EXPECT_EQ(host_->Result(), 140);
    EXPECT_FALSE(host_->Analyse(2));
    EXPECT_EQ(host_->Result(), 0);
    EXPECT_EQ(host_->Hits(), "");
}

TEST_F(AssayerDllTest, ScreenedOutFilesAreNeverScored) {
    host_->Init(nullptr);
    std::vector<uint8_t> tiny = Image();
    tiny.resize(200);
    std::vector<uint8_t> distant = Image();
    petest::put32(distant, 60, static_cast<uint32_t>(distant.size()) + 1);
    DescribeFile(1, "1tiny.jpg.exe", tiny);
    DescribeFile(2, "1text.jpg.exe", std::vector<uint8_t>(1000, 'T'));
    DescribeFile(3, "1far.jpg.exe", distant);
    for (int id = 1; id <= 3; ++id) {
        EXPECT_FALSE(host_->Analyse(id)) << id;
        EXPECT_EQ(host_->Result(), 0) << id;
        EXPECT_EQ(host_->Hits(), "") << id;
    }
    // The same names on proper images are scored: digit prefix and double extension.
    DescribeFile(4, "1good.jpg.exe", Image());
    EXPECT_FALSE(host_->Analyse(4));
    EXPECT_EQ(host_->Result(), 90);
    EXPECT_EQ(host_->Hits(), "AG");
}

TEST_F(AssayerDllTest, OtherCodesAreScored) {
    host_->Init(nullptr);
    DescribeFile(1, "1wide.jpg.exe", Image(PeImageBuilder().Magic(0x20B)));
    DescribeFile(2, "1drv.jpg.sys", Image());
    DescribeFile(3, "1lib.jpg.sys", Image(PeImageBuilder().Characteristics(0x2102)));
    host_->Describe(4, dir_.path() + "\\1absent.jpg.exe", someBytes_);  // cannot be opened
    host_->Describe(5, "", someBytes_);                                 // no path
    for (int id = 1; id <= 4; ++id) {
        host_->Analyse(id);
        EXPECT_EQ(host_->Result(), 90) << id;
        EXPECT_EQ(host_->Hits(), "AG") << id;
    }
    host_->Analyse(5);
    EXPECT_EQ(host_->Result(), 0);
    EXPECT_EQ(host_->Hits(), "");
}

TEST_F(AssayerDllTest, NoContentNoScore) {
    host_->Init(nullptr);
    const char* path = "C:\\windows\\1a.jpg.exe";
    host_->Append(1, 1, &path);
    EXPECT_FALSE(host_->Analyse(1));
    EXPECT_EQ(host_->Result(), 0);
    EXPECT_EQ(host_->Hits(), "");

    // Bytes before their size are not kept.
    const uint8_t* data = someBytes_.data();
    host_->Append(1, 5, &data);
    const int size = static_cast<int>(someBytes_.size());
    host_->Append(1, 4, &size);
    host_->Analyse(1);
    EXPECT_EQ(host_->Result(), 0);
    host_->Append(1, 5, &data);
    host_->Analyse(1);
    EXPECT_EQ(host_->Result(), 110);
    EXPECT_EQ(host_->Hits(), "ADG");
}

TEST_F(AssayerDllTest, UnknownKindStillNamesTheSubject) {
    host_->Init(nullptr);
    EXPECT_TRUE(host_->Append(7, 9, nullptr));
    EXPECT_FALSE(host_->Analyse(7));
    EXPECT_EQ(host_->Result(), 0);
    host_->Describe(7, "C:\\windows\\1a.jpg.exe", someBytes_);
    host_->Analyse(7);
    EXPECT_EQ(host_->Result(), 110);
}

TEST_F(AssayerDllTest, ContentIsCutAtSixteenMebibytes) {
    host_->Init(nullptr);
    // Exactly 16 MiB of readable memory: a copy of 20 000 000 bytes would fault.
    const SIZE_T limit = 0x1000000;
    uint8_t* block = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, limit, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    const std::vector<uint8_t> image = QuietImage();
    memset(block, 0x41, limit);
    memcpy(block, image.data(), image.size());
    const char* path = "Z:\\nowhere\\big.bin";
    host_->Append(1, 1, &path);
    const int size = 20000000;
    host_->Append(1, 4, &size);
    const uint8_t* data = block;
    host_->Append(1, 5, &data);
    VirtualFree(block, 0, MEM_RELEASE);
    EXPECT_FALSE(host_->Analyse(1));
    EXPECT_EQ(host_->Result(), -10);
    EXPECT_EQ(host_->Hits(), "F");
}

TEST_F(AssayerDllTest, SizeLimitOfTheLargeFileFeature) {
    host_->Init(nullptr);
    std::vector<uint8_t> exact = QuietImage();
    exact.resize(1048576);
    std::vector<uint8_t> over = exact;
    over.push_back(0);
    host_->Describe(1, "Z:\\nowhere\\a.bin", exact);
    host_->Describe(2, "Z:\\nowhere\\b.bin", over);
    host_->Analyse(1);
    EXPECT_EQ(host_->Hits(), "");
    host_->Analyse(2);
    EXPECT_EQ(host_->Hits(), "F");
}

TEST_F(AssayerDllTest, DirectoryFeaturesUseTheSystemDirectories) {
    host_->Init(nullptr);
    const int64_t now = NowSeconds();
    host_->Describe(1, "C:\\WINDOWS\\system32\\x.dll", someBytes_, now - 8 * kDay);
    host_->Describe(2, "C:\\Windows\\x.exe", someBytes_, now - 6 * kDay);
    host_->Describe(3, "C:\\windows\\system32\\y.dll", someBytes_, now + kDay);
    host_->Describe(4, "Z:\\tmp\\x.exe", someBytes_, now - 3600);
    host_->Describe(5, "D:\\copy of C:\\Windows\\x.exe", someBytes_, now - 3600);

    host_->Analyse(1);
    EXPECT_EQ(host_->Hits(), "D");
    EXPECT_EQ(host_->Result(), 20);
    host_->Analyse(2);
    EXPECT_EQ(host_->Hits(), "DI");
    EXPECT_EQ(host_->Result(), 50);
    host_->Analyse(3);
    EXPECT_EQ(host_->Hits(), "DI");
    host_->Analyse(4);
    EXPECT_EQ(host_->Hits(), "");
    host_->Analyse(5);
    EXPECT_EQ(host_->Hits(), "D");  // contains the Windows directory, does not start with it
}

TEST_F(AssayerDllTest, LookAlikeSystemNameIsFlagged) {
    host_->Init(nullptr);
    host_->Describe(1, "C:\\WINDOWS\\system32\\svch0st.exe", someBytes_);
    host_->Describe(2, "C:\\WINDOWS\\system32\\svchost.exe", someBytes_);
    host_->Describe(3, "C:\\WINDOWS\\system32\\SVCHOST.EXE", someBytes_);

    host_->Analyse(1);
    EXPECT_EQ(host_->Hits(), "DJ");
    EXPECT_EQ(host_->Result(), 20 + 50);
    host_->Analyse(2);
    EXPECT_EQ(host_->Hits(), "D");  // the real name
    host_->Analyse(3);
    EXPECT_EQ(host_->Hits(), "D");  // the real name in other letter case
    EXPECT_EQ(host_->Result(), 20);
}

TEST_F(AssayerDllTest, HitLettersForHosts) {
    host_->Init(nullptr);
    host_->Describe(1, "C:\\windows\\1a.jpg.exe", someBytes_, NowSeconds());
    EXPECT_FALSE(host_->Analyse(1));
    EXPECT_EQ(host_->Result(), 140);
    char buffer[8];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(host_->HitCount(buffer, sizeof(buffer)), 4);
    EXPECT_STREQ(buffer, "ADGI");
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(host_->HitCount(buffer, 3), 4);
    EXPECT_STREQ(buffer, "AD");
    EXPECT_EQ(host_->HitCount(nullptr, 0), 4);
}

TEST_F(AssayerDllTest, ReleaseInfoForgetsSubjects) {
    host_->Init(nullptr);
    host_->Describe(1, "C:\\windows\\1a.jpg.exe", someBytes_);
    EXPECT_TRUE(host_->ReleaseInfo());
    EXPECT_FALSE(host_->Analyse(1));
    EXPECT_EQ(host_->Result(), 0);

    // Release leaves the analyser usable, and ids can be used again.
    EXPECT_EQ(host_->Release(), 1);
    host_->Describe(1, "Z:\\n\\1a.exe", someBytes_);
    host_->Analyse(1);
    EXPECT_EQ(host_->Result(), 30);
    EXPECT_EQ(host_->Hits(), "A");
}

TEST_F(AssayerDllTest, LoadedSignaturesNamePackersUnderTheWindowsDirectory) {
    host_->Init(nullptr);
    // Entry code that no built-in row names.
    const std::vector<uint8_t> packed =
        Image(PeImageBuilder().EntryBytes({0xB8, 0x11, 0x22, 0x33, 0x44, 0xF7, 0xD0, 0x50, 0xC3}));
    host_->Describe(1, "C:\\windows\\system32\\packed.exe", packed);
    host_->Describe(2, "Z:\\elsewhere\\packed.exe", packed);
    host_->Analyse(1);
    const std::string before = host_->Hits();
    const int score = host_->Result();
    EXPECT_EQ(before.find('K'), std::string::npos) << before;

    std::string message;
    EXPECT_EQ(host_->LoadSignatures(dir_.path() + "\\absent.txt", &message), -1);
    EXPECT_NE(message.find("absent.txt"), std::string::npos) << message;
    // Only a regular file is read: a device, a folder or a pipe (a Unix FIFO that the test
    // run made, seen through Z:) is refused before anything is read from it.
    const char* fifoFolder = std::getenv("KV_TEST_FIFO_DIR");
    if (fifoFolder == nullptr) ADD_FAILURE() << "no FIFO was made for the test (KV_TEST_FIFO_DIR)";
    const std::string fifo = fifoFolder != nullptr ? "Z:" + std::string(fifoFolder) + "/fifo" : "";
    for (const std::string& path : {std::string("CON"), dir_.path(), fifo}) {
        EXPECT_EQ(host_->LoadSignatures(path, &message), -1) << path;
        EXPECT_EQ(message, "cannot open " + path + ": not a regular file");
    }
    host_->Analyse(1);
    EXPECT_EQ(host_->Hits(), before);

    const std::string db = dir_.Write(
        "mine.txt",
        "\xEF\xBB\xBF; an analyst's rows\r\n[Mine 1.0 -> Analyst]\r\nsignature = B8 ?? ?? ?? ?? "
        "F7 D0\r\nep_only = true\r\n\r\n[Not here]\r\nsignature = 60 E8\r\nep_only = false\r\n");
    EXPECT_EQ(host_->LoadSignatures(db, &message), 1);
    EXPECT_EQ(message, "1 added; 1 skipped: 1 not entry-point only");
    host_->Analyse(1);
    std::string expected = before + "K";
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(host_->Hits(), expected);
    EXPECT_EQ(host_->Result(), score + 30);
    // Outside the Windows directory a packer alone is no hit.
    host_->Analyse(2);
    EXPECT_EQ(host_->Hits().find('K'), std::string::npos);

    // Loading the file again adds nothing.
    EXPECT_EQ(host_->LoadSignatures(db, &message), 0);
    EXPECT_EQ(message, "0 added; 2 skipped: 1 not entry-point only, 1 duplicate");
}

// Committed private memory; Wine fills the page-file figure, not PrivateUsage.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

TEST_F(AssayerDllTest, MemoryStaysFlatOverManySubjects) {
    host_->Init(nullptr);
    // Not printable: the image reader keeps the strings of the last content it read
    // until the next one, and this test is about the subject records.
    const std::vector<uint8_t> bytes(2048, 0x01);
    // A round holds some 20 MiB and ReleaseInfo gives it back. The heap takes some rounds
    // to settle (under Wine it grows in steps of a few MiB over the first six or seven,
    // more or fewer after other tests), and then the same work finds the same room again:
    // the rounds must come to rest, three in a row adding less than 256 KiB each. A
    // record, path or copy that is not given back (26 bytes a subject) never rests.
    constexpr size_t kMaxRounds = 20;
    constexpr int kRestingRounds = 3;
    constexpr SIZE_T kRest = 256 * 1024;
    SIZE_T held = 0;
    std::vector<SIZE_T> after;
    int resting = 0;
    while (resting < kRestingRounds && after.size() < kMaxRounds) {
        for (int id = 0; id < 10000; ++id) {
            host_->Describe(id, "C:\\windows\\temp\\subject" + std::to_string(id) + ".exe", bytes);
        }
        host_->Analyse(9999);
        if (after.empty()) held = PrivateBytes();
        EXPECT_TRUE(host_->ReleaseInfo());
        const SIZE_T now = PrivateBytes();
        if (!after.empty()) resting = now < after.back() + kRest ? resting + 1 : 0;
        after.push_back(now);
    }
    std::string rounds;
    for (SIZE_T value : after) rounds += " " + std::to_string(value);
    EXPECT_GT(held, after[0] + 15 * 1024 * 1024) << "while held " << held << ", after:" << rounds;
    EXPECT_EQ(kRestingRounds, resting) << "after each round:" << rounds;
}

TEST_F(AssayerDllTest, UnloadingTheLibraryGivesItsMemoryBack) {
    // Large subjects leave a block aside for the next one; unloading must free it.
    const std::vector<uint8_t> bytes(6 * 1024 * 1024, 0x01);
    SIZE_T afterFirst = 0;
    for (int load = 0; load < 6; ++load) {
        if (load > 0) host_ = std::make_unique<AssayerHost>();
        ASSERT_TRUE(host_->ready());
        host_->Init(nullptr);
        host_->Describe(1, "C:\\windows\\temp\\large.exe", bytes);
        host_->Analyse(1);
        EXPECT_TRUE(host_->ReleaseInfo());
        host_.reset();
        if (load == 0) afterFirst = PrivateBytes();
    }
    EXPECT_LT(PrivateBytes(), afterFirst + 4 * 1024 * 1024)
        << "after the first unload " << afterFirst << ", after the last " << PrivateBytes();
}

}  // namespace
