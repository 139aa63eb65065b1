// Pins the slot numbers and the thiscall convention of the interfaces that cross binary
// boundaries: each call below goes through a hand-made vtable whose entries record the
// slot they stand in. A reordered or inserted virtual shows up as the wrong slot.
#include <string>

#include <gtest/gtest.h>

#include "component.h"
#include "multilanguage.h"
#include "slot_stubs.h"

using namespace kvtest;

TEST(InterfaceSlots, Component) {
    const void* vtable[] = {reinterpret_cast<const void*>(&Stub2<0>),
                            reinterpret_cast<const void*>(&Stub2<1>)};
    FakeObject fake{vtable};
    IComponent* c = AsInterface<IComponent>(fake);
    EXPECT_SLOT(0, c->GetName(nullptr, 0));
    EXPECT_SLOT(1, c->GetInterface("x", 0));
}

TEST(InterfaceSlots, ComponentManager) {
    const void* vtable[] = {
        reinterpret_cast<const void*>(&Stub2<0>), reinterpret_cast<const void*>(&Stub2<1>),
        reinterpret_cast<const void*>(&Stub2<2>), reinterpret_cast<const void*>(&Stub2<3>),
        reinterpret_cast<const void*>(&Stub1<4>), reinterpret_cast<const void*>(&Stub0<5>),
        reinterpret_cast<const void*>(&Stub2<6>), reinterpret_cast<const void*>(&Stub0<7>)};
    FakeObject fake{vtable};
    IKavroComponentManager* m = AsInterface<IKavroComponentManager>(fake);
    IComponent* out = nullptr;
    EXPECT_SLOT(0, m->GetName(nullptr, 0));
    EXPECT_SLOT(1, m->GetInterface("x", 0));
    EXPECT_SLOT(2, m->RegisterComponent("x", nullptr));
    EXPECT_SLOT(3, m->FindComponent("x", &out));
    EXPECT_SLOT(4, m->RemoveComponent(nullptr));
    EXPECT_SLOT(5, m->GetComponentCount());
    EXPECT_SLOT(6, m->GetComponentAt(0, &out));
    // The destructor is the last slot; a direct call takes the complete-object entry.
    EXPECT_SLOT(7, m->~IKavroComponentManager());
}

TEST(InterfaceSlots, MultiLanguage) {
    const void* vtable[11];
    vtable[0] = reinterpret_cast<const void*>(&Stub0<0>);
    vtable[1] = reinterpret_cast<const void*>(&Stub2<1>);
    for (int i = 2; i < 10; ++i) vtable[i] = reinterpret_cast<const void*>(&Stub0<99>);
    vtable[10] = reinterpret_cast<const void*>(&Stub1<10>);
    FakeObject fake{vtable};
    MultiLanguage* language = AsInterface<MultiLanguage>(fake);
    std::string text;
    EXPECT_SLOT(1, language->GetString("Ok", &text));
    EXPECT_SLOT(10, language->SetLanguageFile("LogDesk.Lng"));
}
