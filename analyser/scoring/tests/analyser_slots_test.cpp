// Pins the slots of the feature and engine interfaces: each call goes through a table of
// stubs that record the slot they stand in (slot_stubs.h).
#include <gtest/gtest.h>

#include <string>

#include "data_analyser.h"
#include "slot_stubs.h"
#include "vcs.h"

namespace {

using namespace kvtest;

TEST(AnalyserSlotsTest, FeatureInterfaceSlotsArePinned) {
    StubObject<IDataAnalyser> fake{Entry(&Stub0<0>), Entry(&Stub0<1>), Entry(&Stub0<2>),
                                   Entry(&Stub1<3>), Entry(&Stub1<4>)};
    IDataAnalyser* feature = fake.get();
    EXPECT_SLOT(0, feature->GetId());
    EXPECT_SLOT(1, feature->GetName());
    EXPECT_SLOT(2, feature->Prepare());
    EXPECT_SLOT(3, feature->Analyse(nullptr));
    EXPECT_SLOT(4, feature->Notify(0));
}

TEST(AnalyserSlotsTest, EngineInterfaceSlotsArePinned) {
    StubObject<VCS::IVCS> fake{Entry(&Stub0<0>), Entry(&Stub1<1>), Entry(&Stub1<2>),
                               Entry(&Stub2<3>), Entry(&Stub0<4>)};
    VCS::IVCS* engine = fake.get();
    std::string hits;
    EXPECT_SLOT(0, engine->GetName());
    EXPECT_SLOT(1, engine->Notify(0));
    EXPECT_SLOT(2, engine->Load(nullptr));
    EXPECT_SLOT(3, engine->Score(nullptr, hits));
    EXPECT_SLOT(4, engine->GetScore());
}

}  // namespace
