#pragma once
// Searches and edits on narrow text in the ANSI code page. A lead byte and the byte
// after it form one character; a search only matches at a character boundary, so a
// double-byte character whose second byte happens to be "\" or "]" is never split.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// Which bytes start a double-byte character. Built once from the code page's own
// answer (the program asks the system byte by byte) or from a fixed rule.
class LeadByteRule {
public:
    // Lead bytes 0x81-0xFE, as in the GBK code page.
    static LeadByteRule Gbk();
    // No lead bytes: every byte is a character.
    static LeadByteRule SingleByte();
    // Asks `isLead` once for every byte value.
    static LeadByteRule From(bool (*isLead)(unsigned char));

    bool IsLead(unsigned char byte) const { return lead_[byte]; }
    // Length of the character that starts at `pos` (1 or 2; a lead byte at the end is 1).
    size_t CharLength(std::string_view text, size_t pos) const {
        return IsLead(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
    }

private:
    std::array<bool, 256> lead_{};
};

constexpr size_t kNotFound = std::string_view::npos;

// First character `ch` at or after `from`.
size_t FindChar(std::string_view text, char ch, const LeadByteRule& rule, size_t from = 0);
// Last character `ch`.
size_t FindLastChar(std::string_view text, char ch, const LeadByteRule& rule);
// First occurrence of `needle` that starts at a character boundary.
size_t FindText(std::string_view text, std::string_view needle, const LeadByteRule& rule);
// `text` without the single-byte characters listed in `drop`.
std::string RemoveChars(std::string_view text, std::string_view drop, const LeadByteRule& rule);
// `text` with A-Z lowered; double-byte characters are kept as they are.
std::string LowerSingleBytes(std::string_view text, const LeadByteRule& rule);
// Whether `text` ends with `suffix` and the suffix starts at a character boundary.
bool EndsWithChars(std::string_view text, std::string_view suffix, const LeadByteRule& rule);

// Bytes [pos, pos + count) of `text`; the bytes that do not exist count as empty.
std::string_view BytesAt(std::string_view text, size_t pos, size_t count);
