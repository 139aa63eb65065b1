#pragma once
// Narrow text of the client's code page: which bytes lead a two-byte character, how one
// character becomes UTF-8, and the URL encoding built on both.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Torva {

constexpr unsigned kCodePageUtf7 = 65000;
constexpr unsigned kCodePageUtf8 = 65001;

// The code page of the narrow strings, as the platform knows it.
class CodePageText {
public:
    virtual unsigned CodePage() const = 0;
    virtual bool IsLeadByte(unsigned char byte) const = 0;
    // Writes the UTF-8 form of one character (`size` is 1, or 2 for a lead byte and its
    // trail byte) to `out` and returns its length (at most 7). Throws 601 or 600.
    virtual size_t CharToUtf8(const char* ch, size_t size, char out[7]) const = 0;

protected:
    ~CodePageText() = default;
};

// Single-byte text without a conversion table: no lead bytes, and each byte is taken as
// the character of the same number (Latin-1) when UTF-8 is asked for.
class SingleByteText final : public CodePageText {
public:
    unsigned CodePage() const override { return 0; }
    bool IsLeadByte(unsigned char) const override { return false; }
    size_t CharToUtf8(const char* ch, size_t size, char out[7]) const override;
};

// Length of the character that starts at `text` (a lead byte takes its trail byte
// along, unless the text ends there).
inline size_t CharLength(const CodePageText& cp, const char* text) {
    return (cp.IsLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0') ? 2 : 1;
}

class CHttpEncoderA {
public:
    // Letters and digits stay, a space becomes "+", every other byte "%XX" (upper-case
    // hex). With `utf8`, each character is converted to UTF-8 first.
    static std::string UrlEncodeA(const char* text, bool utf8, const CodePageText& cp);
    // The length UrlEncodeA gives, without building it; 112 past 2^32 - 1.
    static uint32_t _UrlEncodeLen(const char* text, bool utf8, const CodePageText& cp);
    // The whole text in UTF-8, without URL encoding.
    static std::string Utf8Encode(const char* text, const CodePageText& cp);
    // One character (1 or 2 bytes) in UTF-8; returns its length.
    static size_t _AnsiCharToUtf8Char(char* utf8Char, const char* ansiChar, size_t size,
                                      const CodePageText& cp);
};

}  // namespace Torva
