#include "http_encoder.h"

#include <cstring>

#include "http_error.h"

namespace Torva {
namespace {

bool StaysAsIs(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

uint32_t EncodedLength(unsigned char c) {
    return (StaysAsIs(c) || c == ' ') ? 1 : 3;
}

void AppendEncoded(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    if (StaysAsIs(c)) {
        out += static_cast<char>(c);
    } else if (c == ' ') {
        out += '+';
    } else {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
}

// Calls `emit(bytes, size)` for the bytes to encode: the text as it is, or character by
// character in UTF-8.
template <class Emit>
void ForEachPiece(const char* text, bool utf8, const CodePageText& cp, Emit emit) {
    if (!utf8) {
        emit(text, std::strlen(text));
        return;
    }
    char piece[7];
    for (const char* p = text; *p != '\0';) {
        const size_t size = CharLength(cp, p);
        emit(piece, CHttpEncoderA::_AnsiCharToUtf8Char(piece, p, size, cp));
        p += size;
    }
}

}  // namespace

size_t SingleByteText::CharToUtf8(const char* ch, size_t, char out[7]) const {
    const unsigned char c = static_cast<unsigned char>(ch[0]);
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
}

size_t CHttpEncoderA::_AnsiCharToUtf8Char(char* utf8Char, const char* ansiChar, size_t size,
                                          const CodePageText& cp) {
    if (utf8Char == nullptr || ansiChar == nullptr) {
        ThrowHttpPrecondition(
            "CHttpEncoderA::_AnsiCharToUtf8Char: szUtf8Char and szAnsiChar can not be NULL.");
    }
    return cp.CharToUtf8(ansiChar, size, utf8Char);
}

std::string CHttpEncoderA::UrlEncodeA(const char* text, bool utf8, const CodePageText& cp) {
    if (text == nullptr)
        ThrowHttpPrecondition("CHttpEncoderA::UrlEncodeA: szBuff can not be NULL.");
    std::string out;
    ForEachPiece(text, utf8, cp, [&](const char* bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) AppendEncoded(out, static_cast<unsigned char>(bytes[i]));
    });
    return out;
}

uint32_t CHttpEncoderA::_UrlEncodeLen(const char* text, bool utf8, const CodePageText& cp) {
    if (text == nullptr) {
        ThrowHttpPrecondition("CHttpEncoderA::_UrlEncodeLen: szStr can not be NULL.");
    }
    uint32_t length = 0;
    ForEachPiece(text, utf8, cp, [&](const char* bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            length = CheckedAdd(length, EncodedLength(static_cast<unsigned char>(bytes[i])));
        }
    });
    return length;
}

std::string CHttpEncoderA::Utf8Encode(const char* text, const CodePageText& cp) {
    if (text == nullptr)
        ThrowHttpPrecondition("CHttpEncoderA::Utf8Encode: szBuff can not be NULL.");
    std::string out;
    ForEachPiece(text, true, cp, [&](const char* bytes, size_t size) { out.append(bytes, size); });
    return out;
}

}  // namespace Torva
