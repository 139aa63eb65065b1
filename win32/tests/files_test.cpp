// Whole-file reads and safe replacement against real files under Wine: held, read-only and
// drive-relative targets, folders, devices and pipes, and a disk that fills up.
#include "win32/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "scratch_dir_win.h"
#include "win32/handles.h"

namespace {

using kvwin::ReadStatus;
using kvwin::ReplaceStatus;
using kvtest::ScratchDir;

UniqueFile Hold(const std::string& path, DWORD share) {
    return UniqueFile(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A Unix FIFO made by the test run's setup, seen through Z:; "" when there is none.
std::string UnixFifo() {
    const char* folder = std::getenv("KV_TEST_FIFO_DIR");
    if (folder == nullptr) return "";
    std::string path = std::string("Z:") + folder + "/fifo";
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

TEST(ReadWholeFile, ReadsFilesAndRefusesWhatIsNoRegularFile) {
    ScratchDir dir;
    const std::string text = dir.Write("text.txt", "0123456789");
    const std::string empty = dir.Write("empty.txt", "");
    const std::string locked = dir.Write("locked.txt", "x");
    UniqueFile holder = Hold(locked, 0);
    ASSERT_TRUE(holder);
    UniqueHandle pipe(CreateNamedPipeA("\\\\.\\pipe\\kv_read_whole_file", PIPE_ACCESS_DUPLEX,
                                       PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe.get());
    const std::string fifo = UnixFifo();

    struct Case {
        const char* name;
        std::string path;
        uint64_t cap;
        ReadStatus status;
        std::string bytes;
    } cases[] = {
        {"regular", text, 100, ReadStatus::kRead, "0123456789"},
        {"exactly the cap", text, 10, ReadStatus::kRead, "0123456789"},
        {"one byte over the cap", text, 9, ReadStatus::kTooLarge, ""},
        {"empty", empty, 0, ReadStatus::kRead, ""},
        {"missing", dir / "missing.txt", 100, ReadStatus::kCannotOpen, ""},
        {"held without sharing", locked, 100, ReadStatus::kCannotOpen, ""},
        {"folder", dir.path(), 100, ReadStatus::kNotRegularFile, ""},
        {"console", "CON", 100, ReadStatus::kNotRegularFile, ""},
        {"named pipe", "\\\\.\\pipe\\kv_read_whole_file", 100, ReadStatus::kNotRegularFile, ""},
        {"unix fifo", fifo, 100, ReadStatus::kNotRegularFile, ""},
    };
    for (const Case& c : cases) {
        if (c.path.empty()) {
            ADD_FAILURE() << c.name << ": no FIFO was made for the test (KV_TEST_FIFO_DIR)";
            continue;
        }
        std::string bytes = "stale";
        const kvwin::ReadResult result = kvwin::ReadWholeFile(c.path, c.cap, &bytes);
        EXPECT_EQ(c.status, result.status) << c.name << ": " << result.Text();
        EXPECT_EQ(c.bytes, bytes) << c.name;
    }
    std::vector<uint8_t> raw;
    EXPECT_TRUE(kvwin::ReadWholeFile(text, 100, &raw));
    EXPECT_EQ(10u, raw.size());
    EXPECT_EQ(32u, kvwin::ReadWholeFile(locked, 100, &raw).error);
}

// Each case lays out the folder, replaces "list.dat" and checks what is left.
TEST(ReplaceFileBytes, KeepsTheOldFileWholeOnEveryFailure) {
    struct Case {
        const char* name;
        const char* old;  // nullptr: no file before
        std::function<void(const std::string& target)> arrange;
        std::function<bool(HANDLE)> write;
        ReplaceStatus status;
    };
    const auto writeNew = [](HANDLE file) { return kvwin::WriteAll(file, "new content", 11); };
    UniqueFile holder;
    const Case cases[] = {
        {"new file", nullptr, nullptr, writeNew, ReplaceStatus::kReplaced},
        {"existing file", "old", nullptr, writeNew, ReplaceStatus::kReplaced},
        {"read-only target", "old",
         [](const std::string& target) {
             SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
         },
         writeNew, ReplaceStatus::kReadOnly},
        {"held by a reader throughout", "old",
         [&](const std::string& target) { holder = Hold(target, FILE_SHARE_READ); }, writeNew,
         ReplaceStatus::kMoveFailed},
        {"the writer fails", "old", nullptr,
         [](HANDLE file) { return kvwin::WriteAll(file, "part", 4) && false; },
         ReplaceStatus::kWriteFailed},
        {"a folder in its place", nullptr,
         [](const std::string& target) { CreateDirectoryA(target.c_str(), nullptr); }, writeNew,
         ReplaceStatus::kNotRegularFile},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const std::string target = dir / "list.dat";
        if (c.old != nullptr) dir.Write("list.dat", c.old);
        if (c.arrange) c.arrange(target);
        const kvwin::ReplaceResult result = kvwin::ReplaceFileWith(target, c.write);
        holder.reset();
        EXPECT_EQ(c.status, result.status) << c.name << ": " << result.Text();
        const std::string expected = c.status == ReplaceStatus::kReplaced ? "new content"
                                     : c.old != nullptr                   ? c.old
                                                                          : "";
        if (c.status != ReplaceStatus::kNotRegularFile) {
            EXPECT_EQ(expected, dir.Read("list.dat")) << c.name;
        }
        // Nothing but the target is left beside it.
        const std::vector<std::string> names = dir.Names();
        EXPECT_EQ(c.old != nullptr || c.status == ReplaceStatus::kReplaced ||
                          c.status == ReplaceStatus::kNotRegularFile
                      ? std::vector<std::string>{"list.dat"}
                      : std::vector<std::string>{},
                  names)
            << c.name;
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST(ReplaceFileBytes, WaitsForAHolderThatLetsGoAndReplacesTwice) {
    ScratchDir dir;
    const std::string target = dir.Write("list.dat", "old");
    UniqueFile holder = Hold(target, FILE_SHARE_READ);
    ASSERT_TRUE(holder);
    std::thread release([&] {
        Sleep(150);
        holder.reset();
    });
    EXPECT_TRUE(kvwin::ReplaceFileBytes(target, std::string("first")));
    release.join();
    EXPECT_TRUE(kvwin::ReplaceFileBytes(target, std::string("second")));
    EXPECT_EQ("second", dir.Read("list.dat"));
    EXPECT_EQ(std::vector<std::string>{"list.dat"}, dir.Names());
}

TEST(ReplaceFileBytes, TargetsThatOnlyAShortTemporaryNameFits) {
    ScratchDir dir;
    // A drive-relative path: the temporary file goes to the drive's current folder too.
    char before[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    const std::string drive = dir.path().substr(0, 2);
    const kvwin::ReplaceResult relative = kvwin::ReplaceFileBytes(drive + "list.dat", std::string("r"));
    SetCurrentDirectoryA(before);
    EXPECT_TRUE(relative) << relative.Text();
    EXPECT_EQ("r", dir.Read("list.dat"));

    // A folder so deep that "<target>.tmp" would pass the path limit.
    std::string folder = dir.path();
    while (folder.size() < MAX_PATH - 40) {
        folder += "\\deeper_folder";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    }
    const std::string target = folder + "\\" + std::string(MAX_PATH - 2 - folder.size(), 'n');
    ASSERT_EQ(MAX_PATH - 1, target.size());
    const kvwin::ReplaceResult deep = kvwin::ReplaceFileBytes(target, std::string("deep"));
    EXPECT_TRUE(deep) << deep.Text();
    std::string bytes;
    EXPECT_TRUE(kvwin::ReadWholeFile(target, 100, &bytes));
    EXPECT_EQ("deep", bytes);
}

// Runs with files limited to 8 KiB (win32_tests_full_disk).
TEST(ReplaceFileBytes, FullDiskLeavesTheOldFile) {
    if (std::getenv("KV_FILE_SIZE_LIMIT_KIB") == nullptr)
        GTEST_SKIP() << "runs under testing/diskid/fsize_limit.sh (ctest win32_tests_full_disk)";
    ScratchDir dir;
    const std::string old(1024, 'o');
    const std::string target = dir.Write("list.dat", old);
    const kvwin::ReplaceResult result = kvwin::ReplaceFileBytes(target, std::string(16384, 'n'));
    EXPECT_EQ(ReplaceStatus::kWriteFailed, result.status) << result.Text();
    EXPECT_EQ(old, dir.Read("list.dat"));
    EXPECT_EQ(std::vector<std::string>{"list.dat"}, dir.Names());
}

}  // namespace
