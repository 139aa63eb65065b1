// Pins the slots and the thiscall convention of the interfaces shared with hosts: each
// call goes through a hand-made vtable whose entries record their slot and arguments.
#include <gtest/gtest.h>

#include "process_monitor.h"
#include "slot_stubs.h"

using namespace kvtest;

TEST(InterfaceSlots, ProcessMonitor) {
    const void* vtable[] = {Entry(&Stub2<0>), Entry(&Stub2<1>), Entry(&Stub1<2>),
                            Entry(&Stub1<3>), Entry(&Stub0<4>), Entry(&Stub0<5>)};
    FakeObject fake{vtable};
    auto* monitor = reinterpret_cast<IProcessMonitor*>(&fake);
    EXPECT_SLOT(0, monitor->GetName(nullptr, 0));
    EXPECT_SLOT(1, monitor->GetInterface("x", 0));
    // Slot 2 takes the one argument an MSVC host passes to a deleting destructor, and
    // answers the object.
    g_answer = reinterpret_cast<Word>(&fake);
    IProcessMonitor* same = nullptr;
    EXPECT_SLOT(2, same = monitor->Destroy(0x55AA));
    EXPECT_EQ(0x55AAu, g_first);
    EXPECT_EQ(monitor, same);
    auto* callback = reinterpret_cast<IExecuteCallback*>(0x1234);
    EXPECT_SLOT(3, monitor->AddCallback(callback));
    EXPECT_EQ(0x1234u, g_first);
    EXPECT_SLOT(4, monitor->Start());
    EXPECT_SLOT(5, monitor->Stop());
}

TEST(InterfaceSlots, ExecuteCallback) {
    const void* vtable[] = {Entry(&Stub6<0>)};
    FakeObject fake{vtable};
    auto* callback = reinterpret_cast<IExecuteCallback*>(&fake);
    g_answer = 1;
    const char* verb = "";
    unsigned char answer = 0;
    EXPECT_SLOT(0, answer = callback->OnExecute(verb, "f", "", "", 42,
                                                reinterpret_cast<HMODULE>(0x400000)));
    EXPECT_EQ(1, answer);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(verb), g_first);
    EXPECT_EQ(0x400000u, g_last);
}
