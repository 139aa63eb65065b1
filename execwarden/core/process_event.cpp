#include "process_event.h"

#include <cstring>

namespace {

std::uint32_t Word(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void PutWord(unsigned char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

std::optional<ProcessEventRecord> DecodeProcessEventRecord(const void* bytes, std::size_t size) {
    if (bytes == nullptr || size < kProcessEventRecordSize) return std::nullopt;
    const auto* p = static_cast<const unsigned char*>(bytes);
    return ProcessEventRecord{Word(p), Word(p + 4), Word(p + 8)};
}

void EncodeProcessEventRecord(const ProcessEventRecord& record,
                              unsigned char (&bytes)[kProcessEventRecordSize]) {
    PutWord(bytes, record.first);
    PutWord(bytes + 4, record.processId);
    PutWord(bytes + 8, record.flags);
}

bool IsNewProcessEvent(const ProcessEventRecord& last, const ProcessEventRecord& next) {
    return last.first != next.first || last.processId != next.processId ||
           (last.flags & 0xFF) != (next.flags & 0xFF);
}

std::optional<ProcessEventRecord> ProcessEventFilter::Take(bool readSucceeded, const void* bytes,
                                                           std::size_t size) {
    if (!readSucceeded) return std::nullopt;
    std::optional<ProcessEventRecord> record = DecodeProcessEventRecord(bytes, size);
    if (!record || !IsNewProcessEvent(last_, *record)) return std::nullopt;
    last_ = *record;
    return record;
}
