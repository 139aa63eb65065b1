#include <gtest/gtest.h>

#include "data_analyser.h"
#include "vcs.h"
#include "vtable_slot.h"

namespace {

TEST(AnalyserSlotsTest, FeatureInterfaceSlotsArePinned) {
    EXPECT_EQ(VtableSlot(&IDataAnalyser::GetId), 0u);
    EXPECT_EQ(VtableSlot(&IDataAnalyser::GetName), 1u);
    EXPECT_EQ(VtableSlot(&IDataAnalyser::Prepare), 2u);
    EXPECT_EQ(VtableSlot(&IDataAnalyser::Analyse), 3u);
    EXPECT_EQ(VtableSlot(&IDataAnalyser::Notify), 4u);
}

TEST(AnalyserSlotsTest, EngineInterfaceSlotsArePinned) {
    EXPECT_EQ(VtableSlot(&VCS::IVCS::GetName), 0u);
    EXPECT_EQ(VtableSlot(&VCS::IVCS::Notify), 1u);
    EXPECT_EQ(VtableSlot(&VCS::IVCS::Load), 2u);
    EXPECT_EQ(VtableSlot(&VCS::IVCS::Score), 3u);
    EXPECT_EQ(VtableSlot(&VCS::IVCS::GetScore), 4u);
}

}  // namespace
