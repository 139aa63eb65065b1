// Pins the slot numbers of the monitor's interface and sink as declared for hosts: each
// call goes through a hand-made table whose thiscall entries record their slot.
#include <gtest/gtest.h>

#include "net_monitor.h"

namespace {

int g_slot = -1;
void* g_this = nullptr;

template <int N>
void* __thiscall Stub0(void* self) {
    g_slot = N;
    g_this = self;
    return nullptr;
}
template <int N>
void* __thiscall Stub1(void* self, void*) {
    g_slot = N;
    g_this = self;
    return nullptr;
}
template <int N>
void* __thiscall Stub2(void* self, void*, void*) {
    g_slot = N;
    g_this = self;
    return nullptr;
}
template <int N>
void* __thiscall Stub3(void* self, void*, void*, void*) {
    g_slot = N;
    g_this = self;
    return nullptr;
}

struct FakeObject {
    const void* const* vtable;
};

#define EXPECT_SLOT(n, call)      \
    do {                          \
        g_slot = -1;              \
        g_this = nullptr;         \
        call;                     \
        EXPECT_EQ(n, g_slot);     \
        EXPECT_EQ(&fake, g_this); \
    } while (0)

template <class F>
const void* Entry(F f) {
    return reinterpret_cast<const void*>(f);
}

TEST(NetMonitorSlots, MonitorInterface) {
    const void* vtable[] = {
        Entry(&Stub2<0>),  Entry(&Stub2<1>),  Entry(&Stub1<2>),  Entry(&Stub0<3>),
        Entry(&Stub0<4>),  Entry(&Stub0<5>),  Entry(&Stub1<6>),  Entry(&Stub1<7>),
        Entry(&Stub3<8>),  Entry(&Stub2<9>),  Entry(&Stub2<10>), Entry(&Stub0<11>),
        Entry(&Stub1<12>), Entry(&Stub0<13>), Entry(&Stub0<14>), Entry(&Stub1<15>),
        Entry(&Stub2<16>)};
    FakeObject fake{vtable};
    INetMonitor* m = reinterpret_cast<INetMonitor*>(&fake);
    FirewallRule rule = {};
    RuleList list;
    EXPECT_SLOT(0, m->GetName(nullptr, 0));
    EXPECT_SLOT(1, m->GetInterface(kNetMonitorName, 0));
    EXPECT_SLOT(2, m->DestructorSlot(1));
    EXPECT_SLOT(3, m->Initialize());
    EXPECT_SLOT(4, m->EnableDriver());
    EXPECT_SLOT(5, m->DisableDriver());
    EXPECT_SLOT(6, m->SetPolicy(1));
    EXPECT_SLOT(7, m->AddSink(nullptr));
    EXPECT_SLOT(8, m->AddRules(&rule, 1, 0));
    EXPECT_SLOT(9, m->DeleteRule(1, 0));
    EXPECT_SLOT(10, m->UpdateRule(&rule, 0));
    EXPECT_SLOT(11, m->SaveUserRules());
    EXPECT_SLOT(12, m->EnumRules(0));
    EXPECT_SLOT(13, m->IsAdapterUp());
    EXPECT_SLOT(14, m->EnableAdapters());
    EXPECT_SLOT(15, m->SetAdapters(1));
    EXPECT_SLOT(16, m->SaveRules("x", &list));
}

TEST(NetMonitorSlots, Sink) {
    const void* vtable[] = {Entry(&Stub1<0>), Entry(&Stub1<1>), Entry(&Stub1<2>)};
    FakeObject fake{vtable};
    INetMonitorSink* sink = reinterpret_cast<INetMonitorSink*>(&fake);
    TrafficRecord record = {};
    FirewallRule rule = {};
    EXPECT_SLOT(0, sink->OnRuleSetTitle("t"));
    EXPECT_SLOT(1, sink->OnTraffic(&record));
    EXPECT_SLOT(2, sink->OnRule(&rule));
}

}  // namespace
