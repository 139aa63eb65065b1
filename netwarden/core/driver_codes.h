#pragma once
// The filter driver's control codes (device type 0x8300, buffered, any access).
#include <cstdint>

constexpr uint32_t kAddRulesCode = 0x830020C4;    // n x DriverRule -> id of the last taken
constexpr uint32_t kDeleteRuleCode = 0x830020C8;  // rule id -> 4 bytes, unused
constexpr uint32_t kEnableCode = 0x830020CC;
constexpr uint32_t kDisableCode = 0x830020D0;
constexpr uint32_t kSetAddressesCode = 0x830020D4;  // 64-byte address block
constexpr uint32_t kReadTrafficCode = 0x830020D8;   // -> header and TrafficEntry records
constexpr uint32_t kUpdateRuleCode = 0x830020E0;    // one DriverRule
constexpr uint32_t kSetPolicyCode = 0x830020EC;     // 4-byte policy
