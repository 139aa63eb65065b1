#pragma once
// Traffic statistics: the driver's 28-byte entries and the 36-byte records the host gets,
// one per merge key and poll.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kavro/netwarden.h"

// TrafficEntry as the driver writes it and TrafficRecord as the host gets it, from
// include/kavro/netwarden.h; their offsets are pinned here.
static_assert(sizeof(TrafficEntry) == 28, "TrafficEntry is 28 bytes");
static_assert(offsetof(TrafficEntry, carried0) == 0, "carried0");
static_assert(offsetof(TrafficEntry, keyA) == 4, "keyA");
static_assert(offsetof(TrafficEntry, keyB) == 8, "keyB");
static_assert(offsetof(TrafficEntry, keyC) == 12, "keyC");
static_assert(offsetof(TrafficEntry, keyD) == 14, "keyD");
static_assert(offsetof(TrafficEntry, carried16) == 16, "carried16");
static_assert(offsetof(TrafficEntry, amount) == 20, "amount");
static_assert(offsetof(TrafficEntry, keyE) == 24, "keyE");

static_assert(sizeof(TrafficRecord) == 36, "TrafficRecord is 36 bytes");
static_assert(offsetof(TrafficRecord, first) == 0, "first");
static_assert(offsetof(TrafficRecord, sum) == 28, "sum");
static_assert(offsetof(TrafficRecord, number) == 32, "number");

constexpr size_t kTrafficHeaderBytes = 8;
constexpr size_t kTrafficEntryBytes = sizeof(TrafficEntry);
// The driver's held count sizes the next buffer; no more than this many entries are
// asked for at once (1.8 MB), whatever it claims to hold.
constexpr uint32_t kMaxTrafficHint = 65536;

// The answer buffer for a poll after the driver reported `hint` held entries.
size_t TrafficBufferBytes(uint32_t hint);

// Reads one answer: `buffer` of `bufferBytes`, of which the driver filled
// `bytesReturned`. Only entries the driver wrote are taken, whatever count it claims.
// `records` becomes the merged records in first-seen key order; `hint` the held count
// for the next poll. Returns the number of entries taken.
uint32_t MergeTrafficAnswer(const uint8_t* buffer, size_t bufferBytes, size_t bytesReturned,
                            std::vector<TrafficRecord>* records, uint32_t* hint);
