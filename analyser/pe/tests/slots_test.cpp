// Slot order of IPEHelper is an ABI between our binaries; pin every slot. Each call goes
// through a table of stubs that record the slot they stand in (slot_stubs.h).
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "pe_helper.h"
#include "slot_stubs.h"

namespace {

using namespace kvtest;

TEST(PEHelperSlotsTest, EverySlotInItsPlace) {
    StubObject<IPEHelper> fake{
        Entry(&Stub2<0>),  Entry(&Stub0<1>),  Entry(&Stub0<2>),  Entry(&Stub0<3>),
        Entry(&Stub0<4>),  Entry(&Stub0<5>),  Entry(&Stub0<6>),  Entry(&Stub0<7>),
        Entry(&Stub0<8>),  Entry(&Stub0<9>),  Entry(&Stub0<10>), Entry(&Stub1<11>),
        Entry(&Stub3<12>), Entry(&Stub2<13>), Entry(&Stub3<14>), Entry(&Stub0<15>),
        Entry(&Stub0<16>), Entry(&Stub0<17>), Entry(&Stub3<18>), Entry(&Stub0<19>),
        Entry(&Stub0<20>), Entry(&Stub0<21>), Entry(&Stub3<22>), Entry(&Stub0<23>),
        Entry(&Stub0<24>), Entry(&Stub0<25>), Entry(&Stub3<26>)};
    IPEHelper* pe = fake.get();
    EXPECT_SLOT(0, pe->Parse(nullptr, 0));
    EXPECT_SLOT(1, pe->GetDosHeaderOffset());
    EXPECT_SLOT(2, pe->GetNtHeaderOffset());
    EXPECT_SLOT(3, pe->GetEntryOffset());
    EXPECT_SLOT(4, pe->GetSectionCount());
    EXPECT_SLOT(5, pe->GetSizeOfCode());
    EXPECT_SLOT(6, pe->GetBaseOfCode());
    EXPECT_SLOT(7, pe->GetBaseOfData());
    EXPECT_SLOT(8, pe->GetSizeOfImage());
    EXPECT_SLOT(9, pe->GetImportOffset());
    EXPECT_SLOT(10, pe->GetExportOffset());
    EXPECT_SLOT(11, pe->GetImportDllCount(0));
    EXPECT_SLOT(12, pe->GetImportDllName(0, 0, nullptr));
    EXPECT_SLOT(13, pe->GetImportFuncCount(0, 0));
    EXPECT_SLOT(14, pe->GetImportFunc(0, 0, 0));
    EXPECT_SLOT(15, pe->Reset());
    EXPECT_SLOT(16, pe->GetResourceDirectory());
    EXPECT_SLOT(17, pe->GetResourceOffset());
    EXPECT_SLOT(18, pe->EnumResources("RT_ICON", nullptr, nullptr));
    EXPECT_SLOT(19, pe->GetTotalImportCount());
    EXPECT_SLOT(20, pe->FindPackerName());
    EXPECT_SLOT(21, pe->FindCompilerName());
    EXPECT_SLOT(22, pe->EnumStrings(4, nullptr, nullptr));
    EXPECT_SLOT(23, pe->CountEmbeddedImages());
    EXPECT_SLOT(24, pe->GetEntrySectionIndex());
    EXPECT_SLOT(25, pe->Destroy());
    EXPECT_SLOT(26, pe->RvaToOffset(0, kNoOffsetLimit, nullptr));
    {
        // The reader is a component too.
        StubObject<IComponent> fake{Entry(&Stub2<0>), Entry(&Stub2<1>)};
        IComponent* component = fake.get();
        EXPECT_SLOT(0, component->GetName(nullptr, 0));
        EXPECT_SLOT(1, component->GetInterface("IPEHelper", 0));
    }
}

TEST(PEHelperComponentTest, AnswersUnderItsNameOnly) {
    CPEHelper helper;
    IComponent* component = &helper;
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_STREQ("IPEHelper", component->GetName(buffer, sizeof(buffer)));
    EXPECT_STREQ("IPEHelper", buffer);
    EXPECT_EQ('\0', buffer[15]);
    std::memset(buffer, 'x', sizeof(buffer));
    component->GetName(buffer, 4);
    EXPECT_EQ(0, std::memcmp(buffer, "IPEHx", 5));
    EXPECT_STREQ("IPEHelper", component->GetName(nullptr, 0));

    EXPECT_EQ(static_cast<IPEHelper*>(&helper), component->GetInterface("IPEHelper", 0));
    for (const char* name : {"ipehelper", "IPEHelpe", "IPEHelper ", "", "IComponent"}) {
        EXPECT_EQ(nullptr, component->GetInterface(name, 0)) << name;
    }
    EXPECT_EQ(nullptr, component->GetInterface(nullptr, 0));
}

TEST(PEHelperComponentTest, SharedReaderIsOneObject) {
    EXPECT_EQ(&ThePEHelper(), &ThePEHelper());
    EXPECT_EQ(-1, ThePEHelper().GetResourceOffset());
    EXPECT_EQ(0, ThePEHelper().GetEntrySectionIndex());
}

TEST(PEHelperComponentTest, DestroyForgetsTheImage) {
    std::vector<uint8_t> image(300, 'a');
    CPEHelper helper;
    helper.Parse(image.data(), 300);
    EXPECT_EQ(1, helper.EnumStrings(4, nullptr, nullptr));
    helper.Destroy();
    EXPECT_EQ(0, helper.CountEmbeddedImages());
    int calls = 0;
    helper.EnumStrings(
        4, [](const PEString*, void* user) { return ++*static_cast<int*>(user); }, &calls);
    EXPECT_EQ(0, calls);
    EXPECT_EQ(nullptr, helper.FindPackerName());
}

}  // namespace
