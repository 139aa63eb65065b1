// Feeds a run of driver reads through the listener's filter. Each read is one byte of
// header (bit 7: the read succeeded; the low four bits: how many bytes it delivered)
// followed by those bytes. Checks what the listener relies on: only a complete record
// of a successful read is taken, it is taken as the driver wrote it, and the same
// record is never taken twice in a row.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "process_event.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ProcessEventFilter filter;
    std::optional<ProcessEventRecord> last;
    size_t at = 0;
    while (at < size) {
        const bool succeeded = (data[at] & 0x80) != 0;
        size_t length = data[at] & 0x0F;
        ++at;
        if (length > size - at) length = size - at;
        const uint8_t* bytes = data + at;
        at += length;

        const std::optional<ProcessEventRecord> taken = filter.Take(succeeded, bytes, length);
        if (!taken) continue;
        if (!succeeded || length < kProcessEventRecordSize) __builtin_trap();
        unsigned char written[kProcessEventRecordSize];
        EncodeProcessEventRecord(*taken, written);
        if (std::memcmp(written, bytes, sizeof written) != 0) __builtin_trap();
        if (last && !IsNewProcessEvent(*last, *taken)) __builtin_trap();
        last = taken;
    }
    return 0;
}
