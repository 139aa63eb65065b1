// Pins the slots of the subject record: each call goes through a table of stubs that
// record the slot they stand in (slot_stubs.h).
#include <gtest/gtest.h>

#include <cstdint>

#include "data_provider.h"
#include "slot_stubs.h"

namespace {

using namespace kvtest;

TEST(ProviderSlotsTest, InterfaceSlotsArePinned) {
    StubObject<IVirusCaptorDataProvidor> fake{
        Entry(&Stub0<0>),  Entry(&Stub0<1>),  Entry(&Stub0<2>),  Entry(&Stub0<3>),
        Entry(&Stub0<4>),  Entry(&Stub0<5>),  Entry(&Stub0<6>),  Entry(&Stub0<7>),
        Entry(&Stub2<8>),  Entry(&Stub1<9>),  Entry(&Stub1<10>), Entry(&Stub1<11>),
        Entry(&Stub1<12>), Entry(&Stub1<13>), Entry(&Stub1<14>)};
    IVirusCaptorDataProvidor* record = fake.get();
    const int size = 1;
    const uint64_t stamp = 0;
    const char* path = "";
    const unsigned char* content = nullptr;
    EXPECT_SLOT(0, record->GetId());
    EXPECT_SLOT(1, record->GetFileSize());
    EXPECT_SLOT(2, record->GetStamp());
    EXPECT_SLOT(3, record->GetCreateTime());
    EXPECT_SLOT(4, record->GetBaseName());
    EXPECT_SLOT(5, record->GetExtName());
    EXPECT_SLOT(6, record->GetPath());
    EXPECT_SLOT(7, record->GetProviderName());
    EXPECT_SLOT(8, record->GetContent(0, 0));
    EXPECT_SLOT(9, record->AssignFileSize(&size));
    EXPECT_SLOT(10, record->SetStamp(&stamp));
    EXPECT_SLOT(11, record->SetCreateTime(&stamp));
    EXPECT_SLOT(12, record->SetPath(&path));
    EXPECT_SLOT(13, record->SetFileSize(&size));
    EXPECT_SLOT(14, record->SetContent(&content));
}

TEST(ProviderSlotsTest, RecordAddsTagSlotsAfterTheInterface) {
    // The record is final: its calls are bound at compile time unless made through a
    // member pointer, which goes through the table as a host's call does.
    StubObject<CDataProvider> fake{Entry(&Stub0<0>),  Entry(&Stub0<1>),  Entry(&Stub0<2>),
                                   Entry(&Stub0<3>),  Entry(&Stub0<4>),  Entry(&Stub0<5>),
                                   Entry(&Stub0<6>),  Entry(&Stub0<7>),  Entry(&Stub2<8>),
                                   Entry(&Stub1<9>),  Entry(&Stub1<10>), Entry(&Stub1<11>),
                                   Entry(&Stub1<12>), Entry(&Stub1<13>), Entry(&Stub1<14>),
                                   Entry(&Stub0<15>), Entry(&Stub1<16>)};
    CDataProvider* record = fake.get();
    const unsigned char* content = nullptr;
    EXPECT_SLOT(14, (record->*&CDataProvider::SetContent)(&content));
    EXPECT_SLOT(15, (record->*&CDataProvider::GetTag)());
    EXPECT_SLOT(16, (record->*&CDataProvider::SetTag)(7));
}

}  // namespace
