#pragma once
// The list file: a 48-byte header, then one 568-byte record per entry in set order.
//
//   0   4   magic "QXLB"
//   4   40  machine identifier: 16 characters, then zero bytes
//   44  4   entry count, signed 32-bit little-endian
//   48  568 each: the entries (see list_entry.h)
//
// Reading never trusts the header: the count is clamped to the whole records present,
// and a record whose texts are not terminated inside their fields is skipped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "entry_set.h"

constexpr size_t kListHeaderSize = 48;
constexpr size_t kListIdFieldSize = 40;

// Where the list's bytes come from and go to. Read delivers exactly `size` bytes or fails;
// Write writes them all or fails.
class ByteSource {
public:
    virtual bool Read(void* out, size_t size) = 0;

protected:
    ~ByteSource() = default;
};

class ByteSink {
public:
    virtual bool Write(const void* data, size_t size) = 0;

protected:
    ~ByteSink() = default;
};

struct ListHeader {
    std::string machineId;  // the identifier field up to its first zero
    int32_t count = 0;
};

// False when the bytes are not a list header (fewer than 48, or another magic).
bool DecodeListHeader(const unsigned char* bytes, size_t size, ListHeader* header);
void EncodeListHeader(const char (&machineId)[kListIdFieldSize], int32_t count,
                      unsigned char (&out)[kListHeaderSize]);

// False when the record is damaged: its path or time has no zero byte inside its field.
// Bytes after a terminator are not kept.
bool DecodeListRecord(const unsigned char* record, ListEntry* entry);

// The records a header's count may be taken to announce in a file of `fileSize` bytes:
// never more than the whole records present, none for a negative count.
uint32_t ListRecordsPresent(int32_t count, uint64_t fileSize);

enum class ListDecode {
    kEntries,     // a list of one of the accepted machines: its entries were read
    kNotOurList,  // too short, another magic or another machine: no entries
    kReadFailed,  // the source failed before the announced records were read
};

// Reads a list file of `fileSize` bytes into `entries` (which the caller passes empty).
// The header's identifier must equal one of `acceptedIds` for the entries to count.
ListDecode DecodeList(ByteSource& source, uint64_t fileSize,
                      const std::vector<std::string>& acceptedIds, EntrySet* entries);

// The same over a whole list file of `size` bytes held in memory.
ListDecode DecodeList(const unsigned char* bytes, size_t size,
                      const std::vector<std::string>& acceptedIds, EntrySet* entries);

// Writes the header with `machineId` and every entry in set order.
bool EncodeList(ByteSink& sink, const char (&machineId)[kListIdFieldSize], const EntrySet& entries);
