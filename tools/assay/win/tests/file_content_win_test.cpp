#include "file_content_win.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "scratch_dir_win.h"
#include "whole_file_win.h"

namespace {

FILETIME FileTimeOf(uint64_t ticks) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

TEST(FileContent, FileTimesBecomeUnixSeconds) {
    const uint64_t epoch = 116444736000000000ull;
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeOf(epoch)), 0);
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeOf(epoch + 9999999)), 0);
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeOf(epoch + 10000000)), 1);
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeOf(epoch - 1)), -1);
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeOf(0)), -11644473600ll);
    // 2038 is past the signed 32-bit seconds.
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeOf(epoch + 2147483648ull * 10000000)), 2147483648ll);
}

TEST(FileContent, BytesSizeAndCreationTime) {
    kvtest::ScratchDir tree("assay-test-");
    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"data.bin", bytes));

    FileContent file;
    std::string why;
    ASSERT_TRUE(file.Read(tree / L"data.bin", &why)) << why;
    ASSERT_EQ(file.size(), bytes.size());
    ASSERT_NE(file.bytes(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.bytes()), bytes.size()), bytes);
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    EXPECT_LE(file.createdSeconds(), now + 5);
    EXPECT_GT(file.createdSeconds(), now - 3600) << "a file just written is new";
}

TEST(FileContent, EachReadReplacesTheLast) {
    kvtest::ScratchDir tree("assay-test-");
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"long.bin", std::string(100000, 'x')));
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"short.bin", "abc"));
    FileContent file;
    std::string why;
    ASSERT_TRUE(file.Read(tree / L"long.bin", &why)) << why;
    ASSERT_TRUE(file.Read(tree / L"short.bin", &why)) << why;
    EXPECT_EQ(file.size(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.bytes()), 3), "abc");
    // A failed read leaves no size behind from the file before.
    EXPECT_FALSE(file.Read(tree / L"gone.bin", &why));
    EXPECT_EQ(file.size(), 0u);
}

TEST(FileContent, EmptyFileHasNoBytes) {
    kvtest::ScratchDir tree("assay-test-");
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"empty.exe", ""));
    FileContent file;
    std::string why;
    ASSERT_TRUE(file.Read(tree / L"empty.exe", &why)) << why;
    EXPECT_EQ(file.size(), 0u);
    EXPECT_NE(file.bytes(), nullptr);
}

TEST(FileContent, MissingFileSaysWhy) {
    kvtest::ScratchDir tree("assay-test-");
    FileContent file;
    std::string why;
    EXPECT_FALSE(file.Read(tree / L"gone.exe", &why));
    EXPECT_EQ(why.rfind("cannot open: ", 0), 0u) << why;
}

TEST(FileContent, ADirectoryIsNotAFile) {
    kvtest::ScratchDir tree("assay-test-");
    ASSERT_TRUE(CreateDirectoryW((tree / L"dir.exe").c_str(), nullptr));
    FileContent file;
    std::string why;
    EXPECT_FALSE(file.Read(tree / L"dir.exe", &why));
    EXPECT_FALSE(why.empty());
}

}  // namespace
