#include "list_store_win.h"

#include <windows.h>

#include <ctime>

#include "md5.h"
#include "win32/files.h"
#include "win32/handles.h"

namespace {

// The file is read whole, and a 32-bit host holds its bytes and its entries at once;
// 256 MiB, some 470,000 entries, is far past any list a user keeps.
constexpr uint64_t kMaxListFileBytes = 256u << 20;

class FileSink : public ByteSink {
public:
    explicit FileSink(HANDLE file) : file_(file) {}
    bool Write(const void* data, size_t size) override {
        return kvwin::WriteAll(file_, data, size);
    }

private:
    HANDLE file_;
};

}  // namespace

bool LoadListFile(const std::string& path, const std::vector<std::string>& acceptedIds,
                  EntrySet* entries) {
    EntrySet loaded(entries->compare());
    if (kvwin::FileExists(path)) {
        // Another host may hold the list open, for reading or for its own save.
        std::vector<uint8_t> bytes;
        if (!kvwin::ReadWholeFile(path, kMaxListFileBytes, &bytes, kvwin::kShareAll)) {
            return false;
        }
        DecodeList(bytes.data(), bytes.size(), acceptedIds, &loaded);
    }
    *entries = std::move(loaded);
    return true;
}

bool SaveListFile(const std::string& path, const char (&machineId)[kListIdFieldSize],
                  const EntrySet& entries) {
    return static_cast<bool>(kvwin::ReplaceFileWith(path, [&](HANDLE file) {
        FileSink sink(file);
        return EncodeList(sink, machineId, entries);
    }));
}

bool DigestFile(const char* path, unsigned char (&digest)[kDigestSize]) {
    if (!kvwin::FileExists(path)) return false;
    // Mapped rather than read whole: a file of any size is digested without a copy.
    UniqueFile file(CreateFileA(path, GENERIC_READ, kvwin::kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > MAXDWORD) return false;
    CMD5Class md5;
    // A file of no bytes cannot be mapped; its digest is that of the empty message.
    if (size.QuadPart == 0) return md5.Digest("", digest, 0) == 1;
    UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return false;
    return md5.Digest(view.get(), digest, static_cast<uint32_t>(size.QuadPart)) == 1;
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    char text[kEntryAddedSize] = {};
    if (local == nullptr || std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", local) == 0) {
        return "";
    }
    return text;
}
