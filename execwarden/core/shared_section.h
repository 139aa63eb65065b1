#pragma once
// The page that every process mapping the library shares (PE section "KSHARED"): the
// shell-execute hook's request strings, the hand-off flag and events, and the verdict.
#include <cstddef>
#include <cstdint>

// The hand-off's named events (auto-reset): the hook sets "in" once the page holds a
// request, the monitor sets "out" once the verdict is in the page.
constexpr char kHandOffInEventName[] = "Kavro ShellExecute Moniter 1.0.0.0 in";
constexpr char kHandOffOutEventName[] = "Kavro ShellExecute Moniter 1.0.0.0 out";

constexpr std::size_t kHookStringSize = 264;  // 263 characters and the NUL
constexpr std::size_t kSharedSectionSize = 4096;

struct SharedSection {
    std::uint32_t reserved;
    std::int32_t handOffEnabled;  // zero: the hook lets every request through
    std::uint32_t inEvent;        // handles, meaningful only in the process that wrote them
    std::uint32_t outEvent;
    std::uint8_t verdict;  // the last handler answer: nonzero allow, zero block
    std::uint8_t padding[7];
    char verb[kHookStringSize];
    char file[kHookStringSize];
    char parameters[kHookStringSize];
    char directory[kHookStringSize];
    std::uint8_t rest[kSharedSectionSize - 1080];
};

static_assert(sizeof(SharedSection) == kSharedSectionSize);
static_assert(offsetof(SharedSection, reserved) == 0);
static_assert(offsetof(SharedSection, handOffEnabled) == 4);
static_assert(offsetof(SharedSection, inEvent) == 8);
static_assert(offsetof(SharedSection, outEvent) == 12);
static_assert(offsetof(SharedSection, verdict) == 16);
static_assert(offsetof(SharedSection, padding) == 17);
static_assert(offsetof(SharedSection, verb) == 24);
static_assert(offsetof(SharedSection, file) == 288);
static_assert(offsetof(SharedSection, parameters) == 552);
static_assert(offsetof(SharedSection, directory) == 816);
static_assert(offsetof(SharedSection, rest) == 1080);

// Clears `field` and copies `text` into it: a null text gives "", a longer one is cut to
// 263 characters so that the NUL always fits.
void CopyHookString(char (&field)[kHookStringSize], const char* text);
