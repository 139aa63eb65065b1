#include "win32/files.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <stdexcept>

#include "win32/handles.h"

namespace kvwin {

namespace {

// One read or write call moves at most this much, so a count always fits a DWORD.
constexpr DWORD kChunk = 1u << 24;
// A reader or a scanner holding the target makes the move fail for a moment (Wine refuses
// it even when the holder shares delete access): try again for up to about half a second.
constexpr int kMoveAttempts = 10;
constexpr DWORD kMoveRetryMs = 50;
// Names tried for the temporary file before giving up.
constexpr int kTemporaryNameAttempts = 64;
// The longest path the ANSI file calls take (MAX_PATH with its terminating NUL).
constexpr size_t kLongestAnsiPath = MAX_PATH - 1;

// Device names ("CON", "NUL", "COM1") and pipes resolve to the device namespace.
bool NamesDevice(const std::string& path) {
    char full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length > MAX_PATH) return false;
    return std::string(full, length).rfind("\\\\.\\", 0) == 0;
}

// Reads the whole file, or with `tail` set only its last `cap` bytes; `fileSize` (when
// given) learns the file's size.
template <class Bytes>
ReadResult ReadInto(const std::string& path, uint64_t cap, Bytes* bytes, DWORD share,
                    bool tail = false, uint64_t* fileSize = nullptr) {
    bytes->clear();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) ||
        NamesDevice(path)) {
        return {ReadStatus::kNotRegularFile, 0};
    }
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, share,
                                nullptr,                // default security
                                OPEN_EXISTING,          // never create
                                FILE_ATTRIBUTE_NORMAL,  // plain sequential read
                                nullptr));              // no template
    if (!file) return {ReadStatus::kCannotOpen, GetLastError()};
    // A pipe (a Unix FIFO seen through Z:) or a character device would block or read as
    // nothing: only disk files are read.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return {ReadStatus::kNotRegularFile, 0};
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return {ReadStatus::kReadFailed, GetLastError()};
    if (size.QuadPart < 0) return {ReadStatus::kTooLarge, 0};
    if (fileSize != nullptr) *fileSize = static_cast<uint64_t>(size.QuadPart);
    if (tail && static_cast<uint64_t>(size.QuadPart) > cap) {
        LARGE_INTEGER start = {};
        start.QuadPart = size.QuadPart - static_cast<LONGLONG>(cap);
        if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
            return {ReadStatus::kReadFailed, GetLastError()};
        }
        size.QuadPart = static_cast<LONGLONG>(cap);
    }
    if (static_cast<uint64_t>(size.QuadPart) > cap ||
        static_cast<uint64_t>(size.QuadPart) > bytes->max_size()) {
        return {ReadStatus::kTooLarge, 0};
    }
    try {
        bytes->resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return {ReadStatus::kOutOfMemory, 0};
    } catch (const std::length_error&) {
        return {ReadStatus::kOutOfMemory, 0};
    }
    size_t done = 0;
    while (done < bytes->size()) {
        DWORD got = 0;
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, kChunk));
        if (!ReadFile(file.get(), &(*bytes)[done], ask, &got, nullptr)) {
            const DWORD error = GetLastError();
            bytes->clear();
            return {ReadStatus::kReadFailed, error};
        }
        if (got == 0) break;  // the file became shorter meanwhile
        done += got;
    }
    bytes->resize(done);
    return {};
}

// The folder part of `path` to put a name after: "C:\a\" for "C:\a\b", "C:" for "C:b",
// "" for "b". A backslash that is the second byte of a double-byte character is none.
std::string FolderPrefix(const std::string& path) {
    size_t cut = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (byte == '\\' || byte == '/' || (i == 1 && byte == ':')) cut = i + 1;
    }
    return path.substr(0, cut);
}

// The name of the temporary file for `number` in `folder`: "~kv<process>_<number>.tmp",
// or, where that would make the path longer than the file calls take, one of at most
// `room` characters.
std::string TemporaryName(const std::string& folder, unsigned number, size_t room) {
    char leaf[32];
    wsprintfA(leaf, "~kv%lx_%x.tmp", GetCurrentProcessId(), number);
    if (folder.size() + std::strlen(leaf) <= kLongestAnsiPath) return folder + leaf;
    wsprintfA(leaf, "%08x", number ^ (GetCurrentProcessId() << 12));
    const std::string mark = room > 1 ? "~" : "";
    return folder + mark + (leaf + 8 - std::min<size_t>(8, room - mark.size()));
}

// A new, empty file beside `target` with a short name of its own; invalid when none can
// be made.
UniqueFile CreateTemporaryBeside(const std::string& target, std::string* name, DWORD* error) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderPrefix(target);
    // A name as long as the target's own always fits where the target does.
    const size_t room =
        std::max<size_t>({1, target.size() - folder.size(),
                          kLongestAnsiPath - std::min<size_t>(kLongestAnsiPath, folder.size())});
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        *name = TemporaryName(folder, counter.fetch_add(1), room);
        UniqueFile file(CreateFileA(name->c_str(), GENERIC_WRITE,
                                    0,                      // nobody else while it is written
                                    nullptr,                // default security
                                    CREATE_NEW,             // never someone else's file
                                    FILE_ATTRIBUTE_NORMAL,  // the target takes these over
                                    nullptr));
        if (file) return file;
        *error = GetLastError();
        if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) break;
    }
    name->clear();
    return UniqueFile();
}

// The temporary file and its handle: closed and deleted when it goes out of scope, unless
// it was moved into place. (Deleting it while our own handle is open would fail.)
class TemporaryFile {
public:
    TemporaryFile(UniqueFile file, std::string path)
        : file_(std::move(file)), path_(std::move(path)) {}
    ~TemporaryFile() {
        file_.reset();
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    HANDLE handle() const { return file_.get(); }
    bool Close() { return CloseHandle(file_.release()) != FALSE; }
    void Keep() { path_.clear(); }

private:
    UniqueFile file_;
    std::string path_;
};

bool MoveIntoPlace(const std::string& from, const std::string& to, DWORD* error) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        *error = GetLastError();
        const bool held = *error == ERROR_ACCESS_DENIED || *error == ERROR_SHARING_VIOLATION ||
                          *error == ERROR_LOCK_VIOLATION;
        if (!held || attempt == kMoveAttempts) return false;
        Sleep(kMoveRetryMs);
    }
}

std::string WithError(const char* text, DWORD error) {
    if (error == 0) return text;
    char code[32];
    wsprintfA(code, " (error %lu)", error);
    return text + std::string(code);
}

}  // namespace

bool PathExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadResult::Text() const {
    switch (status) {
        case ReadStatus::kRead: return "read";
        case ReadStatus::kCannotOpen: return WithError("cannot open the file", error);
        case ReadStatus::kNotRegularFile: return "not a regular file";
        case ReadStatus::kTooLarge: return "the file is too large";
        case ReadStatus::kReadFailed: return WithError("cannot read the file", error);
        case ReadStatus::kOutOfMemory: return "not enough memory to read the file";
    }
    return "cannot read the file";
}

ReadResult ReadWholeFile(const std::string& path, uint64_t cap, std::string* bytes, DWORD share) {
    return ReadInto(path, cap, bytes, share);
}

ReadResult ReadFileTail(const std::string& path, uint64_t maxBytes, std::string* bytes,
                        uint64_t* fileSize, DWORD share) {
    return ReadInto(path, maxBytes, bytes, share, true, fileSize);
}

ReadResult ReadWholeFile(const std::string& path, uint64_t cap, std::vector<uint8_t>* bytes,
                         DWORD share) {
    return ReadInto(path, cap, bytes, share);
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - done, kChunk));
        if (!WriteFile(file, bytes + done, ask, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

std::string ReplaceResult::Text() const {
    switch (status) {
        case ReplaceStatus::kReplaced: return "replaced";
        case ReplaceStatus::kReadOnly: return "the file is read-only";
        case ReplaceStatus::kNotRegularFile: return "not a regular file";
        case ReplaceStatus::kCannotCreate: return WithError("cannot create a file beside it", error);
        case ReplaceStatus::kWriteFailed: return WithError("cannot write the new content", error);
        case ReplaceStatus::kMoveFailed: return WithError("cannot replace the file", error);
    }
    return "cannot replace the file";
}

ReplaceResult ReplaceFileWith(const std::string& path, const std::function<bool(HANDLE)>& write) {
    if (path.empty()) return {ReplaceStatus::kCannotCreate, ERROR_INVALID_NAME};
    // Windows refuses to replace a read-only file, Wine running as root does not: refuse
    // here so that the attribute is honoured everywhere.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {ReplaceStatus::kNotRegularFile, 0};
        if (attributes & FILE_ATTRIBUTE_READONLY) return {ReplaceStatus::kReadOnly, 0};
    }
    std::string name;
    DWORD error = 0;
    UniqueFile file = CreateTemporaryBeside(path, &name, &error);
    if (!file) return {ReplaceStatus::kCannotCreate, error};
    TemporaryFile temporary(std::move(file), name);
    bool written = false;
    try {
        written = write(temporary.handle());
    } catch (...) {
        written = false;
    }
    if (!written) return {ReplaceStatus::kWriteFailed, GetLastError()};
    if (!FlushFileBuffers(temporary.handle())) {
        return {ReplaceStatus::kWriteFailed, GetLastError()};
    }
    if (!temporary.Close()) return {ReplaceStatus::kWriteFailed, GetLastError()};
    if (!MoveIntoPlace(name, path, &error)) return {ReplaceStatus::kMoveFailed, error};
    temporary.Keep();
    return {};
}

ReplaceResult ReplaceFileBytes(const std::string& path, const void* data, size_t size) {
    return ReplaceFileWith(path, [&](HANDLE file) { return WriteAll(file, data, size); });
}

ReplaceResult ReplaceFileBytes(const std::string& path, const std::string& bytes) {
    return ReplaceFileBytes(path, bytes.data(), bytes.size());
}

ReplaceResult ReplaceFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    return ReplaceFileBytes(path, bytes.data(), bytes.size());
}

}  // namespace kvwin
