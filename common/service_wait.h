#pragma once
// How long to wait before asking a driver service for its state again.
#include <cstdint>
#include <optional>

// The service states of the service manager.
enum ServiceState : std::uint32_t {
    kServiceStopped = 1,
    kServiceStartPending = 2,
    kServiceStopPending = 3,
    kServiceRunning = 4,
    kServiceContinuePending = 5,
    kServicePausePending = 6,
    kServicePaused = 7,
};

// The pause before the next status query while a service moves from `current` towards
// `wanted`: a tenth of its wait hint, but 1 to 10 seconds. Absent when waiting is over:
// the state is the wanted one, or a settled state that no pending move leads away from
// (a driver that stopped while starting would otherwise be waited for forever).
std::optional<std::uint32_t> ServiceWaitDelay(std::uint32_t current, std::uint32_t wanted,
                                              std::uint32_t waitHintMs);
