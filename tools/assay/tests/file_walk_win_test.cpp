#include "file_walk_win.h"

#include <gtest/gtest.h>

#include <vector>

#include "temp_tree_win.h"

namespace {

struct Seen {
    std::vector<std::wstring> files;
    std::vector<std::wstring> failures;
};

Seen Walk(const std::wstring& path) {
    Seen seen;
    WalkVisitor visitor;
    visitor.file = [&](const std::wstring& file) { seen.files.push_back(file); };
    visitor.failure = [&](const std::wstring& failed, const std::string& why) {
        EXPECT_FALSE(why.empty());
        seen.failures.push_back(failed);
    };
    WalkPath(path, visitor);
    return seen;
}

TEST(FileWalk, DirectoriesRecursivelyInNameOrder) {
    TempTree tree;
    ASSERT_TRUE(tree.MakeDirectory(L"sub"));
    ASSERT_TRUE(tree.MakeDirectory(L"sub\\deeper"));
    ASSERT_TRUE(tree.MakeDirectory(L"empty"));
    // Written out of order: the walk sorts, whatever order the file system lists.
    ASSERT_TRUE(tree.WriteFile(L"sub\\deeper\\z.bin", "z"));
    ASSERT_TRUE(tree.WriteFile(L"b.exe", "b"));
    ASSERT_TRUE(tree.WriteFile(L"sub\\c.txt", "c"));
    ASSERT_TRUE(tree.WriteFile(L"a.dll", "a"));

    const Seen seen = Walk(tree.root());
    EXPECT_TRUE(seen.failures.empty());
    const std::vector<std::wstring> expected = {tree.Path(L"a.dll"), tree.Path(L"b.exe"),
                                                tree.Path(L"sub\\c.txt"),
                                                tree.Path(L"sub\\deeper\\z.bin")};
    EXPECT_EQ(seen.files, expected);

    // A trailing backslash on the directory does not double it in the paths.
    const Seen again = Walk(tree.root() + L"\\");
    EXPECT_EQ(again.files, expected);
}

TEST(FileWalk, AFileIsVisitedAsItIs) {
    TempTree tree;
    ASSERT_TRUE(tree.WriteFile(L"one.exe", "1"));
    const Seen seen = Walk(tree.Path(L"one.exe"));
    EXPECT_EQ(seen.files, std::vector<std::wstring>{tree.Path(L"one.exe")});
    EXPECT_TRUE(seen.failures.empty());
}

TEST(FileWalk, AMissingPathIsAFailureNotAFile) {
    TempTree tree;
    const Seen seen = Walk(tree.Path(L"not-there.exe"));
    EXPECT_TRUE(seen.files.empty());
    EXPECT_EQ(seen.failures, std::vector<std::wstring>{tree.Path(L"not-there.exe")});
}

TEST(FileWalk, AnEmptyDirectoryYieldsNothing) {
    TempTree tree;
    const Seen seen = Walk(tree.root());
    EXPECT_TRUE(seen.files.empty());
    EXPECT_TRUE(seen.failures.empty());
}

}  // namespace
