// What a worker writes to its pipe, as the parent of a parallel scan takes it: frames
// of any kind in any order, garbage, and a last frame cut short by a crash. Holds: no
// crash, no leak, no read outside the input; the bytes read in the pieces the pipe gives
// them hand back the same frames as read whole, and each frame encodes again to exactly
// its bytes (but for the hello's ready flag: any byte but 0 reads as 1); once broken a
// reader stays broken; the book of the scan lets out every file once, in walk order,
// under its own path, with the worker's verdict or the one error charged to the file it
// was on; every line and summary prints, and each JSON line parses back to its path.
//
// Input: one byte (low six bits: the files handed to the worker, less one; the rest of
// it and the input's size: the size of the pipe's reads), then what the worker wrote.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assay_report.h"
#include "scan_ledger.h"
#include "worker_protocol.h"

namespace {

struct Read {
    std::vector<Frame> frames;
    std::vector<size_t> ends;  // where each frame's bytes end in the stream
    FrameReader::Status last = FrameReader::Status::kNeedMore;
    size_t pending = 0;
};

// The stream in reads of `piece` bytes (0: whole), frames taken after every read.
Read ReadStream(const std::string& stream, size_t piece) {
    if (piece == 0) piece = stream.size() + 1;
    Read read;
    FrameReader reader;
    for (size_t at = 0; at < stream.size(); at += piece) {
        const size_t take = stream.size() - at < piece ? stream.size() - at : piece;
        reader.Append(stream.data() + at, take);
        Frame frame;
        while ((read.last = reader.Next(&frame)) == FrameReader::Status::kFrame) {
            read.frames.push_back(frame);
            read.ends.push_back(at + take - reader.Pending());
        }
    }
    if (read.last == FrameReader::Status::kBroken) {
        // More bytes do not mend it.
        reader.Append("\x05\x00\x00\x00X", 5);
        Frame frame;
        if (reader.Next(&frame) != FrameReader::Status::kBroken) std::abort();
    }
    read.pending = reader.Pending();
    return read;
}

std::string Encode(const Frame& frame) {
    switch (frame.type) {
        case FrameType::kFile:
            return EncodeFileRequest(frame.file);
        case FrameType::kHello:
            return EncodeHello(frame.hello);
        case FrameType::kVerdict:
            return EncodeAnswer(frame.answer);
        case FrameType::kCrash: {
            uint8_t bytes[kCrashFrameBytes];
            const size_t size = EncodeCrash(frame.crash, bytes);
            return std::string(reinterpret_cast<const char*>(bytes), size);
        }
    }
    std::abort();
}

bool SameAnswer(const FileVerdict& a, const FileVerdict& b) {
    // Compared as bits: the worker may send any double, NaN included.
    return a.verdict == b.verdict && a.score == b.score && a.size == b.size &&
           std::memcmp(&a.milliseconds, &b.milliseconds, sizeof(double)) == 0 && a.hits == b.hits &&
           a.error == b.error;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t files = 1 + (data[0] & 0x3F);
    const size_t piece = (data[0] >> 6) == 0 ? 0 : (data[0] >> 6) + size % 61;
    const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    const Read whole = ReadStream(stream, 0);
    const Read pieces = ReadStream(stream, piece);
    if (whole.frames.size() != pieces.frames.size() || whole.last != pieces.last ||
        whole.pending != pieces.pending || whole.ends != pieces.ends) {
        std::abort();
    }
    size_t start = 0;
    for (size_t i = 0; i < whole.frames.size(); ++i) {
        std::string bytes = stream.substr(start, whole.ends[i] - start);
        // Any byte but 0 reads as ready; it encodes as 1.
        if (whole.frames[i].type == FrameType::kHello) bytes[5] = bytes[5] != 0 ? 1 : 0;
        if (Encode(whole.frames[i]) != bytes) std::abort();
        if (Encode(pieces.frames[i]) != Encode(whole.frames[i])) std::abort();
        start = whole.ends[i];
    }
    if (whole.last == FrameReader::Status::kNeedMore && whole.pending != stream.size() - start) {
        std::abort();
    }

    // The parent's book: the files go to worker 0, which answers with the stream. A
    // frame out of place, a broken stream or the pipe's end with files outstanding loses
    // the worker; worker 1 then answers what waits again.
    ScanLedger ledger;
    for (size_t i = 0; i < files; ++i) {
        ledger.AddFile(std::string(2, static_cast<char>(i)), "file" + std::to_string(i));
    }
    FileRequest request;
    while (ledger.Assign(0, &request)) {
    }
    std::vector<const FileVerdict*> answered(files, nullptr);
    bool ready = false;
    for (const Frame& frame : whole.frames) {
        if (frame.type == FrameType::kHello && !ready) {
            ready = true;
            continue;
        }
        if (frame.type == FrameType::kVerdict && ready && ledger.Answer(0, frame.answer)) {
            answered[frame.answer.seq] = &frame.answer.verdict;
            continue;
        }
        break;
    }
    const bool charged = ledger.Outstanding(0) > 0;
    ledger.Lose(0, "analyser crashed: the worker's end");
    while (ledger.Assign(1, &request)) {
        FileAnswer answer;
        answer.seq = request.seq;
        answer.verdict.hits = "A";
        if (!ledger.Answer(1, answer)) std::abort();
    }

    ScanSummary summary;
    size_t crashed = 0;
    FileVerdict verdict;
    for (size_t i = 0; i < files; ++i) {
        if (!ledger.TakeNext(&verdict) || verdict.path != "file" + std::to_string(i)) std::abort();
        if (answered[i] != nullptr && (verdict.crashed || !SameAnswer(verdict, *answered[i]))) {
            std::abort();
        }
        crashed += verdict.crashed ? 1 : 0;
        FormatTableLine(verdict);
        const nlohmann::json line = nlohmann::json::parse(FormatJsonLine(verdict));
        if (line.at("path") != verdict.path) std::abort();
        CountInto(verdict, &summary);
    }
    if (ledger.TakeNext(&verdict) || ledger.Unprinted() != 0) std::abort();
    if (crashed != (charged ? 1u : 0u)) std::abort();
    FormatTableSummary(summary);
    if (!nlohmann::json::parse(FormatJsonSummary(summary)).at("summary").is_object()) std::abort();
    return 0;
}
