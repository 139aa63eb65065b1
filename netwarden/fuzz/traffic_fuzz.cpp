// The driver's traffic answer is untrusted: the first four input bytes say how much of
// the buffer the driver claims to have filled, the rest is the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "traffic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t returned;
    std::memcpy(&returned, data, 4);
    std::vector<uint8_t> buffer(data + 4, data + size);
    std::vector<TrafficRecord> records;
    uint32_t hint = 0;
    const uint32_t count =
        MergeTrafficAnswer(buffer.data(), buffer.size(), returned, &records, &hint);
    const size_t filled = std::min<size_t>(returned, buffer.size());
    if (filled < kTrafficHeaderBytes ? count != 0
                                     : count > (filled - kTrafficHeaderBytes) / kTrafficEntryBytes)
        std::abort();
    if (hint > kMaxTrafficHint) std::abort();
    uint64_t numbers = 0;
    for (const TrafficRecord& record : records) numbers += record.number;
    if (numbers != count) std::abort();
    return 0;
}
