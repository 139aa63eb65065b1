// Runs under testing/diskid/fsize_limit.sh with files limited to 8 KiB: a save that cannot
// be written whole must leave the list as it was.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scratch_dir_win.h"
#include "usertag_host.h"

TEST(WriteLimit, SaveThatCannotBeWrittenLeavesTheList) {
    const char* limit = std::getenv("KV_FILE_SIZE_LIMIT_KIB");
    ASSERT_NE(limit, nullptr) << "run me through fsize_limit.sh 8";
    ASSERT_STREQ(limit, "8");

    kvtest::ScratchDir dir("t", "Z:\\tmp\\usertag");
    UserTagHost host;
    ASSERT_EQ(host.error(), "");
    const std::string list = dir / "list.dat";
    ASSERT_TRUE(host.Open(list.c_str()));
    // 14 entries make 8,000 bytes, the 15th would make 8,568.
    for (unsigned char d = 1; d <= 14; ++d) {
        const std::string digest(16, static_cast<char>(d));
        ASSERT_TRUE(host.AddFile(("c:\\f" + std::to_string(d)).c_str(),
                                 reinterpret_cast<const unsigned char*>(digest.data())))
            << int(d);
    }
    const std::string before = dir.Read("list.dat");
    ASSERT_EQ(before.size(), 8000u);

    const std::string digest(16, '\x0F');
    EXPECT_FALSE(host.AddFile("c:\\f15", reinterpret_cast<const unsigned char*>(digest.data())));
    EXPECT_EQ(dir.Read("list.dat"), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"list.dat"});
    EXPECT_EQ(host.Entries().size(), 14u);
}
