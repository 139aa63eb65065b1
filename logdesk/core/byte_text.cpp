#include "byte_text.h"

LeadByteRule LeadByteRule::Gbk() {
    LeadByteRule rule;
    for (int b = 0x81; b <= 0xFE; ++b) rule.lead_[b] = true;
    return rule;
}

LeadByteRule LeadByteRule::SingleByte() {
    return LeadByteRule();
}

LeadByteRule LeadByteRule::From(bool (*isLead)(unsigned char)) {
    LeadByteRule rule;
    for (int b = 0; b < 256; ++b) rule.lead_[b] = isLead(static_cast<unsigned char>(b));
    return rule;
}

size_t FindChar(std::string_view text, char ch, const LeadByteRule& rule, size_t from) {
    for (size_t pos = from; pos < text.size(); pos += rule.CharLength(text, pos)) {
        if (text[pos] == ch) return pos;
    }
    return kNotFound;
}

size_t FindLastChar(std::string_view text, char ch, const LeadByteRule& rule) {
    size_t found = kNotFound;
    for (size_t pos = 0; pos < text.size(); pos += rule.CharLength(text, pos)) {
        if (text[pos] == ch) found = pos;
    }
    return found;
}

size_t FindText(std::string_view text, std::string_view needle, const LeadByteRule& rule) {
    if (needle.empty()) return 0;
    // Jump from candidate to candidate with the library's byte search, and accept one
    // only when the walk over the characters before it lands exactly on it.
    size_t walked = 0;
    for (size_t hit = text.find(needle); hit != kNotFound; hit = text.find(needle, hit + 1)) {
        while (walked < hit) walked += rule.CharLength(text, walked);
        if (walked == hit) return hit;
    }
    return kNotFound;
}

std::string RemoveChars(std::string_view text, std::string_view drop, const LeadByteRule& rule) {
    std::string kept;
    kept.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = rule.CharLength(text, pos);
        if (length != 1 || drop.find(text[pos]) == kNotFound) kept.append(text, pos, length);
        pos += length;
    }
    return kept;
}

std::string LowerSingleBytes(std::string_view text, const LeadByteRule& rule) {
    std::string lowered(text);
    for (size_t pos = 0; pos < lowered.size();) {
        const size_t length = rule.CharLength(lowered, pos);
        if (length == 1 && lowered[pos] >= 'A' && lowered[pos] <= 'Z') lowered[pos] += 'a' - 'A';
        pos += length;
    }
    return lowered;
}

bool EndsWithChars(std::string_view text, std::string_view suffix, const LeadByteRule& rule) {
    if (suffix.size() > text.size()) return false;
    const size_t start = text.size() - suffix.size();
    if (text.substr(start) != suffix) return false;
    size_t pos = 0;
    while (pos < start) pos += rule.CharLength(text, pos);
    return pos == start;
}

std::string_view BytesAt(std::string_view text, size_t pos, size_t count) {
    if (pos >= text.size()) return {};
    return text.substr(pos, count);
}
