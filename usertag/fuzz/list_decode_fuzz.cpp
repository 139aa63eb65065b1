// libFuzzer target for the list file reader: any bytes, read as a list of the machine its
// own header names, then written back; the written list must read back to the same entries.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "list_format.h"
#include "memory_bytes.h"

namespace {

std::string Flatten(const EntrySet& entries) {
    std::string flat;
    entries.ForEach([&](const ListEntry& e) {
        flat.append(reinterpret_cast<const char*>(&e), sizeof(e));
        return true;
    });
    return flat;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ListHeader header;
    const std::string id =
        DecodeListHeader(data, size, &header) ? header.machineId : std::string("none");
    MemorySource source(data, size);
    EntrySet entries(AsciiPathCompare);
    if (DecodeList(source, size, {id}, &entries) != ListDecode::kEntries) return 0;

    char field[kListIdFieldSize] = {};
    std::memcpy(field, id.data(), id.size() < sizeof(field) ? id.size() : sizeof(field));
    MemorySink sink;
    if (!EncodeList(sink, field, entries)) std::abort();
    MemorySource again(sink.bytes.data(), sink.bytes.size());
    EntrySet reread(AsciiPathCompare);
    const std::string rereadId(field, strnlen(field, sizeof(field)));
    if (DecodeList(again, sink.bytes.size(), {rereadId}, &reread) == ListDecode::kReadFailed) {
        std::abort();
    }
    // An empty list written back is a bare header, which reads as no list at all.
    if (!entries.empty() && Flatten(reread) != Flatten(entries)) std::abort();
    return 0;
}
