#include "list_format.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kListMagic[4] = {'Q', 'X', 'L', 'B'};
constexpr size_t kIdOffset = 4;
constexpr size_t kCountOffset = 44;
// Records move between the file and memory this many at a time.
constexpr size_t kRecordsPerBlock = 64;

// Copies the text at the start of `field` into the zeroed `out`; false when the field
// holds no terminator.
bool CopyTerminated(const unsigned char* field, size_t size, char* out) {
    const void* end = std::memchr(field, 0, size);
    if (end == nullptr) return false;
    std::memcpy(out, field, static_cast<size_t>(static_cast<const unsigned char*>(end) - field));
    return true;
}

// The bytes of a file read whole, handed out in order.
class BytesSource final : public ByteSource {
public:
    BytesSource(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {}
    bool Read(void* out, size_t size) override {
        if (size > size_ - offset_) return false;
        std::memcpy(out, bytes_ + offset_, size);
        offset_ += size;
        return true;
    }

private:
    const unsigned char* bytes_;
    size_t size_;
    size_t offset_ = 0;
};

}  // namespace

bool DecodeListHeader(const unsigned char* bytes, size_t size, ListHeader* header) {
    if (size < kListHeaderSize || std::memcmp(bytes, kListMagic, sizeof(kListMagic)) != 0) {
        return false;
    }
    const unsigned char* id = bytes + kIdOffset;
    const void* end = std::memchr(id, 0, kListIdFieldSize);
    const size_t idLength =
        end == nullptr ? kListIdFieldSize : static_cast<const unsigned char*>(end) - id;
    header->machineId.assign(reinterpret_cast<const char*>(id), idLength);
    uint32_t count = 0;
    for (int i = 3; i >= 0; --i) count = count << 8 | bytes[kCountOffset + i];
    header->count = static_cast<int32_t>(count);
    return true;
}

void EncodeListHeader(const char (&machineId)[kListIdFieldSize], int32_t count,
                      unsigned char (&out)[kListHeaderSize]) {
    std::memcpy(out, kListMagic, sizeof(kListMagic));
    std::memcpy(out + kIdOffset, machineId, kListIdFieldSize);
    const uint32_t value = static_cast<uint32_t>(count);
    for (int i = 0; i < 4; ++i)
        out[kCountOffset + i] = static_cast<unsigned char>(value >> (8 * i));
}

bool DecodeListRecord(const unsigned char* record, ListEntry* entry) {
    std::memset(entry, 0, sizeof(*entry));
    std::memcpy(entry->digest, record + offsetof(ListEntry, digest), kDigestSize);
    return CopyTerminated(record + offsetof(ListEntry, path), kEntryPathSize, entry->path) &&
           CopyTerminated(record + offsetof(ListEntry, added), kEntryAddedSize, entry->added);
}

uint32_t ListRecordsPresent(int32_t count, uint64_t fileSize) {
    if (count <= 0 || fileSize < kListHeaderSize) return 0;
    const uint64_t whole = (fileSize - kListHeaderSize) / kEntryRecordSize;
    return static_cast<uint32_t>(std::min<uint64_t>(whole, static_cast<uint64_t>(count)));
}

ListDecode DecodeList(ByteSource& source, uint64_t fileSize,
                      const std::vector<std::string>& acceptedIds, EntrySet* entries) {
    // A file of no more than a header holds no entries, whatever it says.
    if (fileSize <= kListHeaderSize) return ListDecode::kNotOurList;
    unsigned char headerBytes[kListHeaderSize];
    if (!source.Read(headerBytes, sizeof(headerBytes))) return ListDecode::kReadFailed;
    ListHeader header;
    if (!DecodeListHeader(headerBytes, sizeof(headerBytes), &header)) {
        return ListDecode::kNotOurList;
    }
    if (std::find(acceptedIds.begin(), acceptedIds.end(), header.machineId) == acceptedIds.end()) {
        return ListDecode::kNotOurList;
    }

    uint32_t remaining = ListRecordsPresent(header.count, fileSize);
    std::vector<unsigned char> block(std::min<size_t>(remaining, kRecordsPerBlock) *
                                     kEntryRecordSize);
    ListEntry entry;
    while (remaining > 0) {
        const uint32_t records = std::min<uint32_t>(remaining, kRecordsPerBlock);
        if (!source.Read(block.data(), records * kEntryRecordSize)) return ListDecode::kReadFailed;
        for (uint32_t i = 0; i < records; ++i) {
            if (DecodeListRecord(block.data() + i * kEntryRecordSize, &entry)) {
                entries->Insert(entry);
            }
        }
        remaining -= records;
    }
    return ListDecode::kEntries;
}

ListDecode DecodeList(const unsigned char* bytes, size_t size,
                      const std::vector<std::string>& acceptedIds, EntrySet* entries) {
    BytesSource source(bytes, size);
    return DecodeList(source, size, acceptedIds, entries);
}

bool EncodeList(ByteSink& sink, const char (&machineId)[kListIdFieldSize],
                const EntrySet& entries) {
    unsigned char header[kListHeaderSize];
    EncodeListHeader(machineId, static_cast<int32_t>(entries.size()), header);
    if (!sink.Write(header, sizeof(header))) return false;

    std::vector<unsigned char> block;
    block.reserve(std::min(entries.size(), kRecordsPerBlock) * kEntryRecordSize);
    const bool written = entries.ForEach([&](const ListEntry& entry) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&entry);
        block.insert(block.end(), bytes, bytes + kEntryRecordSize);
        if (block.size() < kRecordsPerBlock * kEntryRecordSize) return true;
        const bool ok = sink.Write(block.data(), block.size());
        block.clear();
        return ok;
    });
    return written && (block.empty() || sink.Write(block.data(), block.size()));
}
