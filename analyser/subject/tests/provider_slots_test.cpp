#include <gtest/gtest.h>

#include "data_provider.h"
#include "vtable_slot.h"

namespace {

TEST(ProviderSlotsTest, InterfaceSlotsArePinned) {
    using I = IVirusCaptorDataProvidor;
    EXPECT_EQ(VtableSlot(&I::GetId), 0u);
    EXPECT_EQ(VtableSlot(&I::GetFileSize), 1u);
    EXPECT_EQ(VtableSlot(&I::GetStamp), 2u);
    EXPECT_EQ(VtableSlot(&I::GetCreateTime), 3u);
    EXPECT_EQ(VtableSlot(&I::GetBaseName), 4u);
    EXPECT_EQ(VtableSlot(&I::GetExtName), 5u);
    EXPECT_EQ(VtableSlot(&I::GetPath), 6u);
    EXPECT_EQ(VtableSlot(&I::GetProviderName), 7u);
    EXPECT_EQ(VtableSlot(&I::GetContent), 8u);
    EXPECT_EQ(VtableSlot(&I::AssignFileSize), 9u);
    EXPECT_EQ(VtableSlot(&I::SetStamp), 10u);
    EXPECT_EQ(VtableSlot(&I::SetCreateTime), 11u);
    EXPECT_EQ(VtableSlot(&I::SetPath), 12u);
    EXPECT_EQ(VtableSlot(&I::SetFileSize), 13u);
    EXPECT_EQ(VtableSlot(&I::SetContent), 14u);
}

TEST(ProviderSlotsTest, RecordAddsTagSlotsAfterTheInterface) {
    EXPECT_EQ(VtableSlot(&CDataProvider::SetContent), 14u);
    EXPECT_EQ(VtableSlot(&CDataProvider::GetTag), 15u);
    EXPECT_EQ(VtableSlot(&CDataProvider::SetTag), 16u);
}

}  // namespace
