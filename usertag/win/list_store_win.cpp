#include "list_store_win.h"

#include <windows.h>

#include <ctime>

#include "md5.h"
#include "win32/handles.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A reader holding the list open makes the replace fail for a moment (Wine refuses it even
// when the reader shares delete access): try again for up to about half a second.
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplaceRetryMs = 50;

class FileSource : public ByteSource {
public:
    explicit FileSource(HANDLE file) : file_(file) {}
    bool Read(void* out, size_t size) override {
        DWORD got = 0;
        return ReadFile(file_, out, static_cast<DWORD>(size), &got, nullptr) && got == size;
    }

private:
    HANDLE file_;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(HANDLE file) : file_(file) {}
    bool Write(const void* data, size_t size) override {
        DWORD written = 0;
        return WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) &&
               written == size;
    }

private:
    HANDLE file_;
};

// Deletes a file when it goes out of scope, unless it was kept.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || path[slash - 1] == ':') return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

bool WriteTemporaryList(const std::string& path, const char (&machineId)[kListIdFieldSize],
                        const EntrySet& entries) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    FileSink sink(file.get());
    return EncodeList(sink, machineId, entries) && FlushFileBuffers(file.get());
}

bool MoveOverList(const std::string& from, const std::string& to) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            attempt == kReplaceAttempts) {
            return false;
        }
        Sleep(kReplaceRetryMs);
    }
}

}  // namespace

bool LoadListFile(const std::string& path, const std::vector<std::string>& acceptedIds,
                  EntrySet* entries) {
    EntrySet loaded(entries->compare());
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size;
        if (!file || !GetFileSizeEx(file.get(), &size)) return false;
        FileSource source(file.get());
        if (DecodeList(source, static_cast<uint64_t>(size.QuadPart), acceptedIds, &loaded) ==
            ListDecode::kReadFailed) {
            return false;
        }
    }
    *entries = std::move(loaded);
    return true;
}

bool SaveListFile(const std::string& path, const char (&machineId)[kListIdFieldSize],
                  const EntrySet& entries) {
    // Windows refuses to replace a read-only file, Wine running as root does not: refuse
    // here so the list's attribute is honoured everywhere. A directory is no list.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        return false;
    }
    char name[MAX_PATH];
    if (!GetTempFileNameA(DirectoryOf(path).c_str(), "utg", 0, name)) return false;
    TemporaryFile temporary(name);
    if (!WriteTemporaryList(temporary.path(), machineId, entries) ||
        !MoveOverList(temporary.path(), path)) {
        return false;
    }
    temporary.Keep();
    return true;
}

bool DigestFile(const char* path, unsigned char (&digest)[kDigestSize]) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    UniqueFile file(CreateFileA(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
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
