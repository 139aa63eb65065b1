#include "file_walk_win.h"

#include <gtest/gtest.h>

#include <vector>

#include "scratch_dir_win.h"
#include "whole_file_win.h"

namespace {

struct Seen {
    std::vector<std::wstring> files;
    std::vector<std::wstring> failures;
};

Seen Walk(const std::wstring& path) {
    Seen seen;
    FileWalk walk(path);
    WalkEntry entry;
    while (walk.Next(&entry)) {
        if (entry.failed) {
            EXPECT_FALSE(entry.why.empty());
            seen.failures.push_back(entry.path);
        } else {
            seen.files.push_back(entry.path);
        }
    }
    return seen;
}

TEST(FileWalk, DirectoriesRecursivelyInNameOrder) {
    kvtest::ScratchDir tree("assay-test-");
    ASSERT_TRUE(CreateDirectoryW((tree / L"sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((tree / L"sub\\deeper").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((tree / L"empty").c_str(), nullptr));
    // Written out of order: the walk sorts, whatever order the file system lists.
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"sub\\deeper\\z.bin", "z"));
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"b.exe", "b"));
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"sub\\c.txt", "c"));
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"a.dll", "a"));

    const Seen seen = Walk(tree.widePath());
    EXPECT_TRUE(seen.failures.empty());
    const std::vector<std::wstring> expected = {tree / L"a.dll", tree / L"b.exe",
                                                tree / L"sub\\c.txt", tree / L"sub\\deeper\\z.bin"};
    EXPECT_EQ(seen.files, expected);

    // A trailing backslash on the directory does not double it in the paths.
    const Seen again = Walk(tree.widePath() + L"\\");
    EXPECT_EQ(again.files, expected);
}

TEST(FileWalk, AFileIsVisitedAsItIs) {
    kvtest::ScratchDir tree("assay-test-");
    ASSERT_TRUE(kvtest::WriteWholeFile(tree / L"one.exe", "1"));
    const Seen seen = Walk(tree / L"one.exe");
    EXPECT_EQ(seen.files, std::vector<std::wstring>{tree / L"one.exe"});
    EXPECT_TRUE(seen.failures.empty());
}

TEST(FileWalk, AMissingPathIsAFailureNotAFile) {
    kvtest::ScratchDir tree("assay-test-");
    const Seen seen = Walk(tree / L"not-there.exe");
    EXPECT_TRUE(seen.files.empty());
    EXPECT_EQ(seen.failures, std::vector<std::wstring>{tree / L"not-there.exe"});
}

TEST(FileWalk, AnEmptyDirectoryYieldsNothing) {
    kvtest::ScratchDir tree("assay-test-");
    const Seen seen = Walk(tree.widePath());
    EXPECT_TRUE(seen.files.empty());
    EXPECT_TRUE(seen.failures.empty());
}

}  // namespace
