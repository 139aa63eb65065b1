// Pins the slot numbers of the interfaces that cross binary boundaries: each call below
// goes through a table of stubs that record the slot they stand in (slot_stubs.h). A
// reordered or inserted virtual shows up as the wrong slot.
#include <string>

#include <gtest/gtest.h>

#include "component.h"
#include "multilanguage.h"
#include "slot_stubs.h"

using namespace kvtest;

TEST(InterfaceSlots, Component) {
    StubObject<IComponent> fake{Entry(&Stub2<0>), Entry(&Stub2<1>)};
    IComponent* c = fake.get();
    EXPECT_SLOT(0, c->GetName(nullptr, 0));
    EXPECT_SLOT(1, c->GetInterface("x", 0));
}

TEST(InterfaceSlots, ComponentManager) {
    StubObject<IKavroComponentManager> fake{Entry(&Stub2<0>), Entry(&Stub2<1>), Entry(&Stub2<2>),
                                            Entry(&Stub2<3>), Entry(&Stub1<4>), Entry(&Stub0<5>),
                                            Entry(&Stub2<6>), Entry(&Stub0<7>)};
    IKavroComponentManager* m = fake.get();
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
    StubObject<MultiLanguage> fake{Entry(&Stub0<0>),  Entry(&Stub2<1>),  Entry(&Stub0<99>),
                                   Entry(&Stub0<99>), Entry(&Stub0<99>), Entry(&Stub0<99>),
                                   Entry(&Stub0<99>), Entry(&Stub0<99>), Entry(&Stub0<99>),
                                   Entry(&Stub0<99>), Entry(&Stub1<10>)};
    MultiLanguage* language = fake.get();
    std::string text;
    EXPECT_SLOT(1, language->GetString("Ok", &text));
    EXPECT_SLOT(10, language->SetLanguageFile("LogDesk.Lng"));
}
