#pragma once
// The process-creation driver's event record and the listener's duplicate rule.
#include <cstddef>
#include <cstdint>
#include <optional>

// One event as the driver writes it: three little-endian 32-bit words.
struct ProcessEventRecord {
    std::uint32_t first;      // tells events apart; no other meaning here
    std::uint32_t processId;  // the process the event is about
    std::uint32_t flags;      // only the low byte tells events apart
};

constexpr std::size_t kProcessEventRecordSize = 12;
static_assert(sizeof(ProcessEventRecord) == kProcessEventRecordSize);
static_assert(offsetof(ProcessEventRecord, first) == 0);
static_assert(offsetof(ProcessEventRecord, processId) == 4);
static_assert(offsetof(ProcessEventRecord, flags) == 8);

// The record in `bytes`, or absent unless all twelve bytes were delivered.
std::optional<ProcessEventRecord> DecodeProcessEventRecord(const void* bytes, std::size_t size);

// The twelve bytes of `record` as the driver would write them.
void EncodeProcessEventRecord(const ProcessEventRecord& record,
                              unsigned char (&bytes)[kProcessEventRecordSize]);

// The driver answers every read with its latest record, the same one again until a newer
// one exists: a record counts as new when its first word, its process id or the low byte
// of its flag word differs from the last record taken.
bool IsNewProcessEvent(const ProcessEventRecord& last, const ProcessEventRecord& next);

// What the listener keeps between reads: the last record taken.
class ProcessEventFilter {
public:
    // The record to queue for one read of `size` bytes, or absent. A failed or short read
    // is no event at all: it is dropped and the last record stays as it was, so it can
    // neither report process 0 nor make the previous event look new again.
    std::optional<ProcessEventRecord> Take(bool readSucceeded, const void* bytes, std::size_t size);

private:
    ProcessEventRecord last_{};
};
