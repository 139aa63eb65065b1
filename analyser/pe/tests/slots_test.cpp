// Slot order of IPEHelper is an ABI between our binaries; pin every slot. Both trees
// use the Itanium C++ ABI, where a pointer to a virtual member holds 1 + the byte offset
// of its slot.
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "pe_helper.h"

namespace {

template <class Member>
long SlotOf(Member member) {
    struct Representation {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } rep;
    static_assert(sizeof(member) == sizeof(rep), "Itanium member pointer layout");
    std::memcpy(&rep, &member, sizeof(rep));
    if ((rep.pointer & 1) == 0) return -1;  // not virtual
    return static_cast<long>((rep.pointer - 1) / sizeof(void*));
}

TEST(PEHelperSlotsTest, EverySlotInItsPlace) {
    EXPECT_EQ(0, SlotOf(&IPEHelper::Parse));
    EXPECT_EQ(1, SlotOf(&IPEHelper::GetDosHeaderOffset));
    EXPECT_EQ(2, SlotOf(&IPEHelper::GetNtHeaderOffset));
    EXPECT_EQ(3, SlotOf(&IPEHelper::GetEntryOffset));
    EXPECT_EQ(4, SlotOf(&IPEHelper::GetSectionCount));
    EXPECT_EQ(5, SlotOf(&IPEHelper::GetSizeOfCode));
    EXPECT_EQ(6, SlotOf(&IPEHelper::GetBaseOfCode));
    EXPECT_EQ(7, SlotOf(&IPEHelper::GetBaseOfData));
    EXPECT_EQ(8, SlotOf(&IPEHelper::GetSizeOfImage));
    EXPECT_EQ(9, SlotOf(&IPEHelper::GetImportOffset));
    EXPECT_EQ(10, SlotOf(&IPEHelper::GetExportOffset));
    EXPECT_EQ(11, SlotOf(&IPEHelper::GetImportDllCount));
    EXPECT_EQ(12, SlotOf(&IPEHelper::GetImportDllName));
    EXPECT_EQ(13, SlotOf(&IPEHelper::GetImportFuncCount));
    EXPECT_EQ(14, SlotOf(&IPEHelper::GetImportFunc));
    EXPECT_EQ(15, SlotOf(&IPEHelper::Reset));
    EXPECT_EQ(16, SlotOf(&IPEHelper::GetResourceDirectory));
    EXPECT_EQ(17, SlotOf(&IPEHelper::GetResourceOffset));
    EXPECT_EQ(18, SlotOf(&IPEHelper::EnumResources));
    EXPECT_EQ(19, SlotOf(&IPEHelper::GetTotalImportCount));
    EXPECT_EQ(20, SlotOf(&IPEHelper::FindPackerName));
    EXPECT_EQ(21, SlotOf(&IPEHelper::FindCompilerName));
    EXPECT_EQ(22, SlotOf(&IPEHelper::EnumStrings));
    EXPECT_EQ(23, SlotOf(&IPEHelper::CountEmbeddedImages));
    EXPECT_EQ(24, SlotOf(&IPEHelper::GetEntrySectionIndex));
    EXPECT_EQ(25, SlotOf(&IPEHelper::Destroy));
    EXPECT_EQ(26, SlotOf(&IPEHelper::RvaToOffset));
    EXPECT_EQ(0, SlotOf(&IComponent::GetName));
    EXPECT_EQ(1, SlotOf(&IComponent::GetInterface));
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
