#include "service_wait.h"

#include <algorithm>

std::optional<std::uint32_t> ServiceWaitDelay(std::uint32_t current, std::uint32_t wanted,
                                              std::uint32_t waitHintMs) {
    if (current == wanted) return std::nullopt;
    bool pending = current == kServiceStartPending || current == kServiceStopPending ||
                   current == kServiceContinuePending || current == kServicePausePending;
    if (!pending) return std::nullopt;
    return std::clamp<std::uint32_t>(waitHintMs / 10, 1000, 10000);
}
