#include "signature_database.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "user_signatures.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string Trim(const std::string& text, size_t from = 0, size_t to = std::string::npos) {
    if (to > text.size()) to = text.size();
    while (from < to && IsBlank(text[from])) ++from;
    while (to > from && IsBlank(text[to - 1])) --to;
    return text.substr(from, to - from);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Turns "60 E8 ?? 5D" into a sparse row; the reason when it does not convert.
SignatureSkip ConvertSignature(const std::string& text, SignatureCandidate* row) {
    bool halfByte = false;
    size_t length = 0;
    size_t at = 0;
    for (;;) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        if (at == text.size()) break;
        size_t end = at;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        if (end - at != 2) return kSkipMalformed;
        const char high = text[at];
        const char low = text[at + 1];
        at = end;
        ++length;
        if (high == '?' && low == '?') continue;
        const int h = HexDigit(high);
        const int l = HexDigit(low);
        if (h >= 0 && l >= 0) {
            if (length <= kMaxSignaturePosition) {
                row->positions.push_back(static_cast<uint8_t>(length));
                row->bytes.push_back(static_cast<uint8_t>(h << 4 | l));
            }
        } else if ((high == '?' && l >= 0) || (h >= 0 && low == '?')) {
            halfByte = true;
        } else {
            return kSkipMalformed;
        }
    }
    if (length == 0) return kSkipMalformed;
    if (halfByte) return kSkipHalfByteWildcard;
    if (length > kMaxSignaturePosition) return kSkipTooLong;
    if (row->positions.empty()) return kSkipNoFixedByte;
    return kSkipReasonCount;
}

}  // namespace

size_t SignatureLoadReport::SkippedTotal() const {
    size_t total = 0;
    for (size_t count : skipped) total += count;
    return total;
}

std::string SignatureLoadReport::Summary() const {
    std::string text =
        std::to_string(added) + " added; " + std::to_string(SkippedTotal()) + " skipped";
    if (blocks == 0) return text + " (no signature blocks found)";
    const char* const labels[kSkipReasonCount] = {" malformed",
                                                  " not entry-point only",
                                                  " without a name",
                                                  " with half-byte wildcards",
                                                  " longer than 255 bytes",
                                                  " without a fixed byte",
                                                  " duplicate",
                                                  " over the limit of 1000000 user rows"};
    static_assert(kMaxUserSignatureRows == 1000000, "the limit is spelt out above");
    const char* separator = ": ";
    for (int reason = 0; reason < kSkipReasonCount; ++reason) {
        const size_t count = skipped[reason];
        if (count == 0) continue;
        text += separator + std::to_string(count) + labels[reason];
        separator = ", ";
        if (reason == kSkipDuplicate && count > 1) text += "s";
        if (reason == kSkipMalformed) {
            text += " (first at line " + std::to_string(firstMalformedLine) + ")";
        }
    }
    return text;
}

SignatureDatabaseParser::SignatureDatabaseParser(SignatureLoadReport* report,
                                                 std::function<void(const SignatureCandidate&)> row)
    : report_(report), row_(std::move(row)) {}

void SignatureDatabaseParser::Feed(const char* data, size_t size) {
    while (size > 0) {
        if (atLineStart_) {
            ++lineNumber_;
            atLineStart_ = false;
        }
        const char* newline = static_cast<const char*>(std::memchr(data, '\n', size));
        const size_t take = newline != nullptr ? static_cast<size_t>(newline - data) : size;
        if (!lineTooLong_) {
            const size_t room = kMaxSignatureLineLength - line_.size();
            line_.append(data, take < room ? take : room);
            lineTooLong_ = take > room;
        }
        if (newline == nullptr) return;
        EndLine();
        data += take + 1;
        size -= take + 1;
    }
}

void SignatureDatabaseParser::Finish() {
    if (!atLineStart_) EndLine();
    EndBlock();
}

void SignatureDatabaseParser::EndLine() {
    if (lineNumber_ == 1 && line_.compare(0, 3, "\xEF\xBB\xBF") == 0) line_.erase(0, 3);
    if (lineTooLong_) {
        // Not kept whole: a comment stays a comment, anything else spoils its block.
        size_t first = 0;
        while (first < line_.size() && IsBlank(line_[first])) ++first;
        if (first < line_.size() && line_[first] == '[') {
            EndBlock();
            inBlock_ = true;
            blockLine_ = lineNumber_;
            MarkMalformed();
        } else if (inBlock_ && !(first < line_.size() && line_[first] == ';')) {
            MarkMalformed();
        }
    } else {
        HandleLine(Trim(line_));
    }
    line_.clear();
    lineTooLong_ = false;
    atLineStart_ = true;
}

void SignatureDatabaseParser::HandleLine(const std::string& text) {
    if (text.empty() || text[0] == ';') return;
    if (text[0] == '[') {
        StartBlock(text);
        return;
    }
    if (!inBlock_) return;  // whatever stands before the first block is not ours
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        MarkMalformed();
        return;
    }
    const std::string key = Lower(Trim(text, 0, equals));
    const std::string value = Trim(text, equals + 1);
    if (key == "signature") {
        if (haveSignature_) MarkMalformed();
        haveSignature_ = true;
        signature_ = value;
        signatureLine_ = lineNumber_;
    } else if (key == "ep_only") {
        const std::string flag = Lower(value);
        if (epOnly_ != -1 || (flag != "true" && flag != "false")) MarkMalformed();
        epOnly_ = flag == "true" ? 1 : 0;
    }
}

void SignatureDatabaseParser::StartBlock(const std::string& line) {
    EndBlock();
    inBlock_ = true;
    blockLine_ = lineNumber_;
    if (line.back() != ']') {
        MarkMalformed();
        return;
    }
    name_ = Trim(line, 1, line.size() - 1);
    // A name is a C text to the reader: it ends at the first NUL.
    name_.resize(std::strlen(name_.c_str()));
    if (name_.size() > kMaxSignatureNameLength) name_.resize(kMaxSignatureNameLength);
}

void SignatureDatabaseParser::MarkMalformed() {
    if (malformed_) return;
    malformed_ = true;
    malformedLine_ = lineNumber_;
}

void SignatureDatabaseParser::EndBlock() {
    if (!inBlock_) return;
    ++report_->blocks;
    SignatureCandidate row;
    row.line = blockLine_;
    SignatureSkip reason = kSkipReasonCount;
    size_t faultLine = malformedLine_;
    if (malformed_) {
        reason = kSkipMalformed;
    } else if (!haveSignature_) {
        reason = kSkipMalformed;
        faultLine = blockLine_;
    } else {
        const SignatureSkip conversion = ConvertSignature(signature_, &row);
        if (conversion == kSkipMalformed) {
            reason = kSkipMalformed;
            faultLine = signatureLine_;
        } else if (epOnly_ != 1) {
            reason = kSkipNotEntryPointOnly;
        } else if (name_.empty()) {
            reason = kSkipNoName;
        } else {
            reason = conversion;
        }
    }
    if (reason == kSkipMalformed && report_->firstMalformedLine == 0) {
        report_->firstMalformedLine = faultLine;
    }
    if (reason == kSkipReasonCount) {
        row.name = name_;
        row_(row);
    } else {
        ++report_->skipped[reason];
    }

    inBlock_ = false;
    malformed_ = false;
    malformedLine_ = 0;
    name_.clear();
    signature_.clear();
    haveSignature_ = false;
    epOnly_ = -1;
}

bool ReadSignatureFile(const char* path, const std::function<void(const char*, size_t)>& feed,
                       std::string* why) {
    if (path == nullptr || *path == '\0') {
        *why = "no signature file named";
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) {
        *why = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<char> buffer(65536);
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (got > 0) feed(buffer.data(), got);
        if (got < buffer.size()) break;
    }
    if (std::ferror(file.get())) {
        *why = std::string("cannot read ") + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
