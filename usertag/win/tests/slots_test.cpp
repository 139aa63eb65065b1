// Pins the slots of the list interface: each call goes through a hand-made table whose
// thiscall stubs record the slot they stand in and answer an 8-bit true. A reordered or
// inserted virtual, or a result wider than 8 bits, shows up here.
#include <gtest/gtest.h>

#include "slot_stubs.h"
#include "user_digest_list.h"

using namespace kvtest;

TEST(InterfaceSlots, UserDigestList) {
    const void* vtable[] = {
        reinterpret_cast<const void*>(&Stub1<0>), reinterpret_cast<const void*>(&Stub2<1>),
        reinterpret_cast<const void*>(&Stub2<2>), reinterpret_cast<const void*>(&Stub0<3>),
        reinterpret_cast<const void*>(&Stub3<4>)};
    FakeObject fake{vtable};
    // AL carries false and the rest of EAX is not zero: a caller that reads more than AL
    // sees true.
    g_answer = 0xFFFFFF00u;
    IUserDigestList* list = reinterpret_cast<IUserDigestList*>(&fake);
    unsigned char digest[16] = {};
    char path[520];
    char added[32];
    bool result = true;
    EXPECT_SLOT(0, result = list->Open("c:\\list.dat"));
    EXPECT_FALSE(result);
    EXPECT_SLOT(1, list->AddFile("c:\\a", nullptr));
    EXPECT_SLOT(2, list->RemoveFile("c:\\a", digest));
    EXPECT_SLOT(3, list->BeginEnum());
    result = true;
    EXPECT_SLOT(4, result = list->NextEntry(path, digest, added));
    EXPECT_FALSE(result);
    static_assert(sizeof(bool) == 1, "results are 8-bit");
}
