#pragma once
// What the parent of a parallel scan and its worker processes say to each other over
// the pipe between them: frames of a 32-bit little-endian length (of what follows), a
// type byte and the fields. Numbers are little-endian, texts a 32-bit length and bytes.
//
//   parent -> worker   'F' a file to scan: sequence number, path (UTF-16LE bytes)
//   worker -> parent   'H' once, before anything else: ready or why not, and what each
//                          signature database gave
//                      'V' the verdict on a file, in the order the files were sent
//                      'X' the analyser crashed (sent from the worker's last breath)
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "assay_report.h"

// A frame longer than this is taken for garbage: the longest path a request carries
// is 32767 UTF-16 units, and answers are short.
constexpr uint32_t kMostFrameBytes = 1u << 20;

// The sequence number of a crash outside any file (while the worker was starting).
constexpr uint64_t kNoFile = ~static_cast<uint64_t>(0);

enum class FrameType : uint8_t {
    kFile = 'F',
    kHello = 'H',
    kVerdict = 'V',
    kCrash = 'X',
};

struct FileRequest {
    uint64_t seq = 0;
    std::string pathUtf16;  // UTF-16LE bytes, as the file system spells the name
};

struct SignatureReport {
    int32_t added = 0;  // rows added, or -1 when the file could not be read
    std::string message;
};

struct WorkerHello {
    bool ready = false;
    std::string why;  // when not ready
    std::vector<SignatureReport> signatures;
};

struct FileAnswer {
    uint64_t seq = 0;
    FileVerdict verdict;  // everything but the path, which the parent knows
};

struct CrashReport {
    uint64_t seq = kNoFile;
    uint32_t code = 0;  // the exception code
};

std::string EncodeFileRequest(const FileRequest& request);
std::string EncodeHello(const WorkerHello& hello);
std::string EncodeAnswer(const FileAnswer& answer);

// A crash report is written from an exception filter, where the heap may be broken:
// it is encoded into the caller's buffer. Returns the bytes used.
constexpr size_t kCrashFrameBytes = 4 + 1 + 8 + 4;
size_t EncodeCrash(const CrashReport& crash, uint8_t (&out)[kCrashFrameBytes]);

struct Frame {
    FrameType type = FrameType::kFile;
    FileRequest file;
    WorkerHello hello;
    FileAnswer answer;
    CrashReport crash;
};

// Takes the bytes of a pipe as they come and hands back whole frames.
class FrameReader {
public:
    enum class Status { kFrame, kNeedMore, kBroken };

    void Append(const void* data, size_t size);
    // kFrame with the next frame; kNeedMore until one is complete; kBroken for good once
    // a frame is too long, of an unknown type, or its fields do not fit its length.
    Status Next(Frame* frame);
    // Bytes received but not yet handed back as a frame.
    size_t Pending() const { return buffer_.size() - start_; }

private:
    std::string buffer_;
    size_t start_ = 0;
    bool broken_ = false;
};
