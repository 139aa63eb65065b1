#include "service_wait.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceWait, WaitsOnlyWhileAMoveIsPending) {
    struct Case {
        std::uint32_t current, wanted, hint;
        std::optional<std::uint32_t> delay;
    } cases[] = {
        {kServiceRunning, kServiceRunning, 0, std::nullopt},
        {kServiceStartPending, kServiceRunning, 0, 1000},
        {kServiceStartPending, kServiceRunning, 30000, 3000},
        {kServiceStartPending, kServiceRunning, 0xFFFFFFFF, 10000},
        {kServiceStopPending, kServiceStopped, 5000, 1000},
        {kServiceStopped, kServiceRunning, 0, std::nullopt},  // the driver failed to start
        {kServiceRunning, kServiceStopped, 0, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.delay, ServiceWaitDelay(c.current, c.wanted, c.hint))
            << c.current << "->" << c.wanted;
}

}  // namespace
