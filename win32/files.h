#pragma once
// Files as every component reads and writes them: a whole file read up to a cap, all
// bytes written or a failure, and a file replaced so that a failed save never costs the
// file that was there.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvwin {

// Others may read and write a file while we read it (a log another module is writing, a
// list another host holds).
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// True when `path` names something that exists: a file or a folder.
bool PathExists(const std::string& path);
// True when `path` names a file (not a folder). An empty path names none.
bool FileExists(const std::string& path);

enum class ReadStatus {
    kRead,
    kCannotOpen,      // missing, no access, held without sharing
    kNotRegularFile,  // a folder, a device such as CON, a pipe
    kTooLarge,        // more bytes than the caller's cap
    kReadFailed,      // a read failed part way
    kOutOfMemory,
};

struct ReadResult {
    ReadStatus status = ReadStatus::kRead;
    DWORD error = 0;  // the system's code for the failing call, 0 when there is none

    explicit operator bool() const { return status == ReadStatus::kRead; }
    // "cannot open the file (error 32)", "not a regular file", ...
    std::string Text() const;
};

// Reads the whole file at `path` into `bytes`. A file that grows meanwhile is read up to
// the size it had when it was opened; one that shrinks, up to its new end. A folder, a
// device or a pipe is refused before anything is read from it, so no read ever waits for
// input. On failure `bytes` is empty.
ReadResult ReadWholeFile(const std::string& path, uint64_t cap, std::string* bytes,
                         DWORD share = kShareReadWrite);
ReadResult ReadWholeFile(const std::string& path, uint64_t cap, std::vector<uint8_t>* bytes,
                         DWORD share = kShareReadWrite);

// Reads the last `maxBytes` bytes of the file at `path` (all of it when it is no longer)
// into `bytes`, with the file's whole size in `fileSize`: a log that may have grown past
// what a reader holds. Refuses what ReadWholeFile refuses, except that no size is too
// large.
ReadResult ReadFileTail(const std::string& path, uint64_t maxBytes, std::string* bytes,
                        uint64_t* fileSize, DWORD share = kShareReadWrite);

// Writes all `size` bytes, checking every write; false at the first failure.
bool WriteAll(HANDLE file, const void* data, size_t size);

enum class ReplaceStatus {
    kReplaced,
    kReadOnly,        // the target is read-only: refused, as Windows itself would
    kNotRegularFile,  // the target is a folder
    kCannotCreate,    // no temporary file could be made beside the target
    kWriteFailed,     // a write, the flush or the close of the temporary file failed
    kMoveFailed,      // the target could not be replaced (held by others past the retries)
};

struct ReplaceResult {
    ReplaceStatus status = ReplaceStatus::kReplaced;
    DWORD error = 0;

    explicit operator bool() const { return status == ReplaceStatus::kReplaced; }
    std::string Text() const;
};

// Writes the new content to a temporary file in the target's own folder (a short name,
// so a target whose path is near the length limit, or a drive-relative one such as
// "C:list.dat", still gets one), checks every write and the flush, then moves it over
// the target with write-through. A target that another handle holds is retried for a
// moment. On any failure the target stays byte for byte as it was and the temporary
// file is gone.
ReplaceResult ReplaceFileBytes(const std::string& path, const void* data, size_t size);
ReplaceResult ReplaceFileBytes(const std::string& path, const std::string& bytes);
ReplaceResult ReplaceFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// The same with the content written by `write` into the open temporary file; false from
// `write` fails the replacement.
ReplaceResult ReplaceFileWith(const std::string& path, const std::function<bool(HANDLE)>& write);

}  // namespace kvwin
