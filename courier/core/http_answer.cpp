#include "http_answer.h"

#include <algorithm>

namespace courier {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::search(text.begin(), text.end(), word.begin(), word.end(), [&](char a, char b) {
               return lower(a) == lower(b);
           }) != text.end();
}

}  // namespace

int64_t AnnouncedLength(const AnswerHead& head) {
    // A chunked body ends where its chunks say, whatever a length header claims.
    if (ContainsNoCase(head.transferEncoding, "chunked")) return -1;
    const std::string_view digits = Trimmed(head.contentLength);
    if (digits.empty()) return -1;
    int64_t length = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        const int64_t digit = c - '0';
        length = length > (INT64_MAX - digit) / 10 ? INT64_MAX : length * 10 + digit;
    }
    return length;
}

AnswerReader::AnswerReader(const AnswerHead& head, size_t cap, bool needsText)
    : ok_(head.status == 200), announced_(AnnouncedLength(head)), cap_(cap), needsText_(needsText) {}

size_t AnswerReader::Wanted() const {
    if (!ok_ || body_.size() > cap_) return 0;
    if (announced_ >= 0) {
        if (static_cast<uint64_t>(announced_) > cap_) return 0;
        return static_cast<size_t>(announced_) - std::min(body_.size(), static_cast<size_t>(announced_));
    }
    // One byte past the cap tells a body that is too long from one that fits.
    return cap_ + 1 - body_.size();
}

void AnswerReader::Take(const char* data, size_t size) {
    body_.append(data, std::min(size, Wanted()));
}

AnswerOutcome AnswerReader::Finish() const {
    if (!ok_) return AnswerOutcome::kNotOk;
    if (body_.size() > cap_ || (announced_ >= 0 && static_cast<uint64_t>(announced_) > cap_)) {
        return AnswerOutcome::kTooLong;
    }
    if (announced_ >= 0 && body_.size() < static_cast<size_t>(announced_)) {
        return AnswerOutcome::kCutShort;
    }
    if (needsText_ && Text().empty()) return AnswerOutcome::kEmpty;
    return AnswerOutcome::kTaken;
}

std::string AnswerReader::Text() const {
    return body_.substr(0, body_.find('\0'));
}

}  // namespace courier
