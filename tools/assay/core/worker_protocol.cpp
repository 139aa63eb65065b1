#include "worker_protocol.h"

#include <cstring>

namespace {

class Writer {
public:
    explicit Writer(FrameType type) {
        bytes_.resize(4);
        U8(static_cast<uint8_t>(type));
    }
    void U8(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
    void U32(uint32_t value) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(value >> (8 * i)));
    }
    void U64(uint64_t value) {
        for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(value >> (8 * i)));
    }
    void F64(double value) {
        uint64_t bits = 0;
        memcpy(&bits, &value, sizeof(bits));
        U64(bits);
    }
    void Text(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        bytes_ += text;
    }
    std::string Finish() {
        const uint32_t length = static_cast<uint32_t>(bytes_.size() - 4);
        for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<char>(length >> (8 * i));
        return std::move(bytes_);
    }

private:
    std::string bytes_;
};

// Reads the fields of one frame; any read past its end leaves the reader failed.
class Reader {
public:
    Reader(const char* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    bool AtEnd() const { return ok_ && at_ == size_; }

    uint8_t U8() {
        if (!Has(1)) return 0;
        return static_cast<uint8_t>(data_[at_++]);
    }
    uint32_t U32() {
        if (!Has(4)) return 0;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(U8()) << (8 * i);
        return value;
    }
    uint64_t U64() {
        if (!Has(8)) return 0;
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) value |= static_cast<uint64_t>(U8()) << (8 * i);
        return value;
    }
    double F64() {
        const uint64_t bits = U64();
        double value = 0;
        memcpy(&value, &bits, sizeof(value));
        return value;
    }
    std::string Text() {
        const uint32_t length = U32();
        if (!Has(length)) return std::string();
        std::string text(data_ + at_, length);
        at_ += length;
        return text;
    }

private:
    bool Has(size_t count) {
        if (ok_ && count <= size_ - at_) return true;
        ok_ = false;
        return false;
    }

    const char* data_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

bool ValidVerdict(uint8_t value) {
    return value <= static_cast<uint8_t>(Verdict::kError);
}

bool DecodeBody(FrameType type, Reader& in, Frame* frame) {
    frame->type = type;
    switch (type) {
        case FrameType::kFile:
            frame->file.seq = in.U64();
            frame->file.pathUtf16 = in.Text();
            return in.AtEnd();
        case FrameType::kHello: {
            frame->hello = WorkerHello();
            frame->hello.ready = in.U8() != 0;
            frame->hello.why = in.Text();
            const uint32_t count = in.U32();
            // Each report takes at least 8 bytes: a count beyond what is left is garbage.
            for (uint32_t i = 0; i < count && in.ok(); ++i) {
                SignatureReport report;
                report.added = static_cast<int32_t>(in.U32());
                report.message = in.Text();
                frame->hello.signatures.push_back(std::move(report));
            }
            return in.AtEnd();
        }
        case FrameType::kVerdict: {
            frame->answer = FileAnswer();
            frame->answer.seq = in.U64();
            const uint8_t verdict = in.U8();
            if (!ValidVerdict(verdict)) return false;
            FileVerdict& v = frame->answer.verdict;
            v.verdict = static_cast<Verdict>(verdict);
            v.score = static_cast<int32_t>(in.U32());
            v.size = in.U64();
            v.milliseconds = in.F64();
            v.hits = in.Text();
            v.error = in.Text();
            return in.AtEnd();
        }
        case FrameType::kCrash:
            frame->crash.seq = in.U64();
            frame->crash.code = in.U32();
            return in.AtEnd();
    }
    return false;
}

}  // namespace

std::string EncodeFileRequest(const FileRequest& request) {
    Writer out(FrameType::kFile);
    out.U64(request.seq);
    out.Text(request.pathUtf16);
    return out.Finish();
}

std::string EncodeHello(const WorkerHello& hello) {
    Writer out(FrameType::kHello);
    out.U8(hello.ready ? 1 : 0);
    out.Text(hello.why);
    out.U32(static_cast<uint32_t>(hello.signatures.size()));
    for (const SignatureReport& report : hello.signatures) {
        out.U32(static_cast<uint32_t>(report.added));
        out.Text(report.message);
    }
    return out.Finish();
}

std::string EncodeAnswer(const FileAnswer& answer) {
    Writer out(FrameType::kVerdict);
    const FileVerdict& v = answer.verdict;
    out.U64(answer.seq);
    out.U8(static_cast<uint8_t>(v.verdict));
    out.U32(static_cast<uint32_t>(v.score));
    out.U64(v.size);
    out.F64(v.milliseconds);
    out.Text(v.hits);
    out.Text(v.error);
    return out.Finish();
}

size_t EncodeCrash(const CrashReport& crash, uint8_t (&out)[kCrashFrameBytes]) {
    size_t at = 0;
    const auto put = [&](uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at++] = static_cast<uint8_t>(value >> (8 * i));
    };
    put(kCrashFrameBytes - 4, 4);
    put(static_cast<uint8_t>(FrameType::kCrash), 1);
    put(crash.seq, 8);
    put(crash.code, 4);
    return at;
}

void FrameReader::Append(const void* data, size_t size) {
    // What was handed back already is dropped before the buffer grows.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(static_cast<const char*>(data), size);
}

FrameReader::Status FrameReader::Next(Frame* frame) {
    if (broken_) return Status::kBroken;
    if (Pending() < 4) return Status::kNeedMore;
    Reader head(buffer_.data() + start_, 4);
    const uint32_t length = head.U32();
    if (length < 1 || length > kMostFrameBytes) {
        broken_ = true;
        return Status::kBroken;
    }
    if (Pending() - 4 < length) return Status::kNeedMore;
    Reader body(buffer_.data() + start_ + 4, length);
    const uint8_t type = body.U8();
    const bool known = type == 'F' || type == 'H' || type == 'V' || type == 'X';
    if (!known || !DecodeBody(static_cast<FrameType>(type), body, frame)) {
        broken_ = true;
        return Status::kBroken;
    }
    start_ += 4 + length;
    return Status::kFrame;
}
