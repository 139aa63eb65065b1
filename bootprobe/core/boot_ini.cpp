#include "boot_ini.h"

namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool LineReader::Fill() {
    if (used_ < filled_) return true;
    if (ended_) return false;
    used_ = 0;
    filled_ = source_.Read(chunk_, sizeof(chunk_));
    if (filled_ > sizeof(chunk_)) filled_ = 0;  // a source that claims more than it can
    if (filled_ == 0) ended_ = true;
    return filled_ > 0;
}

bool LineReader::Next(std::string* line) {
    line->clear();
    size_t pendingCrs = 0;  // CRs seen since the last other character
    bool tooLong = false;
    bool any = false;  // bytes read since the last line ended
    while (Fill()) {
        const char c = chunk_[used_++];
        if (c == '\n') {
            if (!tooLong) return true;
            line->clear();
            pendingCrs = 0;
            tooLong = false;
            any = false;
            continue;
        }
        any = true;
        if (c == '\r') {
            ++pendingCrs;  // part of the line ending unless more text follows
            continue;
        }
        if (!tooLong) {
            if (line->size() + pendingCrs + 1 > kMaxLineLength) {
                tooLong = true;
                line->clear();
            } else {
                line->append(pendingCrs, '\r');
                line->push_back(c);
            }
        }
        pendingCrs = 0;
    }
    // The last line may end without a line feed.
    return any && !tooLong;
}

std::optional<std::string_view> BootDefaultPath(std::string_view line) {
    static constexpr std::string_view kKey = "default=";
    if (line.size() < kKey.size()) return std::nullopt;
    for (size_t i = 0; i < kKey.size(); ++i) {
        if (AsciiLower(line[i]) != kKey[i]) return std::nullopt;
    }
    const size_t paren = line.rfind(')');
    if (paren == std::string_view::npos) return std::nullopt;
    return line.substr(paren + 1);
}

std::optional<std::string> ReadBootDefaultPath(ByteSource& source) {
    LineReader reader(source);
    std::string line;
    while (reader.Next(&line)) {
        if (const auto path = BootDefaultPath(line)) return std::string(*path);
    }
    return std::nullopt;
}
