#include "process_snapshot.h"

#include <gtest/gtest.h>

#include "slot_stubs.h"

namespace {

ProcessEntry Entry(uint32_t pid, const std::string& path, std::vector<ModuleEntry> modules) {
    ProcessEntry entry;
    entry.pid = pid;
    entry.path = path;
    entry.modules = std::move(modules);
    return entry;
}

TEST(ProcessSnapshotTest, EmptySnapshotAnswersFalseAndLeavesTheMap) {
    ProcessSnapshot snapshot;
    ProcessPathMap paths = {{7, "kept"}};
    EXPECT_FALSE(snapshot.FillProcessPaths(&paths));
    ModulePathMap modules = {{1, "kept"}};
    EXPECT_FALSE(snapshot.FillModulePaths(7, &modules));
    EXPECT_EQ(paths, (ProcessPathMap{{7, "kept"}}));
    EXPECT_EQ(modules, (ModulePathMap{{1, "kept"}}));
}

TEST(ProcessSnapshotTest, ProcessPathsOverwriteListedIdsAndKeepOthers) {
    ProcessSnapshot snapshot;
    snapshot.Add(Entry(4, "C:\\a.exe", {}));
    snapshot.Add(Entry(8, "C:\\b.exe", {}));
    ProcessPathMap paths = {{4, "old"}, {5, "other"}};
    ASSERT_TRUE(snapshot.FillProcessPaths(&paths));
    EXPECT_EQ(paths, (ProcessPathMap{{4, "C:\\a.exe"}, {5, "other"}, {8, "C:\\b.exe"}}));
}

TEST(ProcessSnapshotTest, ModulePathsReplaceTheMapForAKnownId) {
    ProcessSnapshot snapshot;
    snapshot.Add(Entry(4, "C:\\a.exe", {{"C:\\a.exe", 0x400000}, {"C:\\k.dll", 0x7b000000}}));
    ModulePathMap modules = {{1, "stale"}};
    ASSERT_TRUE(snapshot.FillModulePaths(4, &modules));
    EXPECT_EQ(modules, (ModulePathMap{{0x400000, "C:\\a.exe"}, {0x7b000000, "C:\\k.dll"}}));

    // An id the snapshot does not hold leaves the caller's map as it was.
    EXPECT_FALSE(snapshot.FillModulePaths(5, &modules));
    EXPECT_EQ(modules.size(), 2u);
}

TEST(ProcessSnapshotTest, ModulePathsComeFromTheFirstEntryOfAnId) {
    ProcessSnapshot snapshot;
    snapshot.Add(Entry(4, "first", {{"one", 1}}));
    snapshot.Add(Entry(4, "second", {{"two", 2}}));
    ModulePathMap modules;
    ASSERT_TRUE(snapshot.FillModulePaths(4, &modules));
    EXPECT_EQ(modules, (ModulePathMap{{1, "one"}}));
}

TEST(ProcessSnapshotTest, PathsAreHeldAsA260ByteBufferWould) {
    ProcessSnapshot snapshot;
    const std::string fits(259, 'a');
    snapshot.Add(Entry(1, fits, {{fits + "b", 1}}));
    snapshot.Add(Entry(2, fits + "b", {}));
    ASSERT_EQ(snapshot.Entries().size(), 2u);
    EXPECT_EQ(snapshot.Entries()[0].path, fits);
    EXPECT_EQ(snapshot.Entries()[0].modules[0].path, fits);
    EXPECT_EQ(snapshot.Entries()[1].path, fits);
}

TEST(ProcessSnapshotTest, ClearEmptiesTheSnapshot) {
    ProcessSnapshot snapshot;
    snapshot.Add(Entry(1, "x", {}));
    snapshot.Clear();
    ProcessPathMap paths;
    EXPECT_FALSE(snapshot.FillProcessPaths(&paths));
}

TEST(ProcessHelperSlotsTest, SlotOrderIsFixed) {
    using kvtest::Stub0;
    using kvtest::Stub1;
    using kvtest::Stub2;
    // Slot 4 is the destructor, never called here.
    kvtest::StubObject<IProcessHelper> fake{kvtest::Entry(&Stub0<0>), kvtest::Entry(&Stub1<1>),
                                            kvtest::Entry(&Stub2<2>), kvtest::Entry(&Stub0<3>)};
    IProcessHelper* helper = fake.get();
    EXPECT_SLOT(0, helper->Refresh());
    EXPECT_SLOT(1, helper->GetProcessPaths(nullptr));
    EXPECT_SLOT(2, helper->GetModulePaths(0, nullptr));
    EXPECT_SLOT(3, helper->Shutdown());
}

}  // namespace
