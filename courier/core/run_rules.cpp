#include "run_rules.h"

#include <cstring>

namespace courier {

namespace {

// The C library's white space in the "C" locale.
bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

CheckVerdict JudgeCheckAnswer(const std::string& answer) {
    const std::string line = answer.substr(0, answer.find("\r\n"));
    size_t at = 0;
    while (at < line.size() && IsCSpace(line[at])) ++at;
    bool negative = false;
    if (at < line.size() && (line[at] == '+' || line[at] == '-')) negative = line[at++] == '-';
    // Digits are read until they leave the 32-bit range; more digits cannot bring them
    // back.
    int64_t magnitude = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
        magnitude = magnitude * 10 + (line[at] - '0');
        if (magnitude > int64_t{INT32_MAX} + 1) return CheckVerdict::kOther;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return CheckVerdict::kOther;
    if (value == 0 || value == -1) return CheckVerdict::kKnown;
    if (value == 1) return CheckVerdict::kWanted;
    return CheckVerdict::kOther;
}

uint32_t ProgressPercent(uint32_t posted, uint32_t total) {
    if (total == 0) return 0;
    const uint64_t percent = uint64_t{posted} * 100 / total;
    return percent > 100 ? 100 : static_cast<uint32_t>(percent);
}

std::string CountText(uint32_t done, uint32_t all) {
    return std::to_string(done) + " / " + std::to_string(all);
}

std::string SummaryText(const std::string& head, uint32_t count, const std::string& tail) {
    return head + " " + std::to_string(count) + tail;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (text.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        char a = text[i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace courier
