// Calls every slot through the object's vtable the way a caller built by another
// compiler does: pointer to the table at offset 0, thiscall, one entry per slot.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "call_slot.h"
#include "data_provider.h"
#include "number_prefix.h"

namespace {

using kvtest::CallSlot;

TEST(ThiscallSlotsTest, SubjectRecord) {
    CDataProvider record(31);
    void* object = static_cast<IVirusCaptorDataProvidor*>(&record);
    ASSERT_EQ(object, static_cast<void*>(&record));

    const char* path = "c:\\dir\\1photo.jpg.exe";
    CallSlot<void>(object, 12, static_cast<const char* const*>(&path));
    const int size = 4;
    EXPECT_EQ((CallSlot<int>(object, 13, &size)), 1);
    const unsigned char bytes[4] = {'M', 'Z', 0, 0};
    const unsigned char* source = bytes;
    EXPECT_EQ((CallSlot<int>(object, 14, static_cast<const unsigned char* const*>(&source))), 1);
    const uint64_t stamp = 0x1122334455667788ULL;
    CallSlot<void>(object, 10, static_cast<const void*>(&stamp));
    const int64_t created = 1234567890;
    CallSlot<void>(object, 11, static_cast<const void*>(&created));
    const int assigned = 3;
    CallSlot<void>(object, 9, &assigned);
    CallSlot<void>(object, 16, 77);

    EXPECT_EQ(CallSlot<int>(object, 0), 31);
    EXPECT_EQ(CallSlot<int>(object, 1), 3);
    EXPECT_EQ(*CallSlot<const uint64_t*>(object, 2), stamp);
    EXPECT_EQ(*CallSlot<const int64_t*>(object, 3), created);
    EXPECT_STREQ(CallSlot<const char*>(object, 4), "1photo.jpg");
    EXPECT_STREQ(CallSlot<const char*>(object, 5), "jpg.exe");
    EXPECT_STREQ(CallSlot<const char*>(object, 6), path);
    EXPECT_STREQ(CallSlot<const char*>(object, 7), "FileProvidor");
    EXPECT_EQ((CallSlot<unsigned char*>(object, 8, 1, 0))[0], 'Z');
    EXPECT_EQ(CallSlot<int>(object, 15), 77);
}

TEST(ThiscallSlotsTest, Feature) {
    CNumberPrefix feature;
    void* object = static_cast<IDataAnalyser*>(&feature);
    CDataProvider record(1);
    const char* path = "c:\\7zip.exe";
    record.SetPath(&path);

    EXPECT_EQ(CallSlot<int>(object, 0), 6600);
    EXPECT_STREQ(CallSlot<const char*>(object, 1), "ID_NumberPrefix");
    EXPECT_EQ(CallSlot<int>(object, 2), 1);
    EXPECT_EQ((CallSlot<int>(object, 3, static_cast<IVirusCaptorDataProvidor*>(&record))), 1);
    EXPECT_EQ((CallSlot<int>(object, 4, 3)), 1);
}

}  // namespace
