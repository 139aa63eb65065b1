#include "mail_text.h"

#include "byte_search.h"

namespace {

// The dot must be among this many characters from the second-to-last one down.
constexpr int kDotWindow = 4;
// Indices below this are never looked at.
constexpr int kLowestIndex = 2;

// The image reader's printable bytes.
inline bool Printable(unsigned char c) {
    return static_cast<unsigned char>(c - 32) < 95;
}

// The text the walk would hand over for the run [start, end) if it began at `start`:
// none when shorter than `minLength`, cut to `maxLength`.
bool TextLooksLikeAddress(const unsigned char* bytes, size_t start, size_t end, size_t minLength,
                          size_t maxLength) {
    const size_t length = end - start;
    if (length < minLength) return false;
    const size_t kept = length < maxLength ? length : maxLength;
    return LooksLikeMailAddress(reinterpret_cast<const char*>(bytes + start),
                                static_cast<int>(kept));
}

}  // namespace

bool LooksLikeMailAddress(const char* text, int length) {
    if (text == nullptr || length <= 0) return false;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* zero = FindByte(bytes, static_cast<size_t>(length), 0);
    const int end = zero != nullptr ? static_cast<int>(zero - bytes) : length;
    bool dotSeen = false;
    int step = 1;
    for (int i = end - 2; i >= kLowestIndex; --i, ++step) {
        if (!dotSeen) {
            if (step > kDotWindow) return false;
            if (text[i] == '.') {
                dotSeen = true;
                --i;  // the character just before the dot is passed over
                ++step;
            }
        } else if (text[i] == '@') {
            return true;
        }
    }
    return false;
}

MailTextAnswer FindMailText(const unsigned char* bytes, size_t size, int minLength,
                            size_t maxLength) {
    // The walk finds nothing in fewer bytes than one probe step.
    if (bytes == nullptr || minLength < 1 || size < static_cast<size_t>(minLength) ||
        maxLength > 0x7FFFFFFF) {
        return MailTextAnswer::kNo;
    }
    const size_t step = static_cast<size_t>(minLength);
    bool unsure = false;
    size_t from = 0;
    while (from < size) {
        const unsigned char* at = FindByte(bytes + from, size - from, '@');
        if (at == nullptr) break;
        const size_t found = static_cast<size_t>(at - bytes);
        // The run around it; it cannot reach back past `from`, which is the first byte
        // or the unprintable one after the last run looked at. Each byte is looked at
        // once here, however many "@" a run holds.
        size_t start = found;
        while (start > from && Printable(bytes[start - 1])) --start;
        size_t end = found + 1;
        while (end < size && Printable(bytes[end])) ++end;
        from = end;
        if (end - start < step) continue;  // no text: the walk keeps none this short

        // The first probe in the run lies at most step - 1 bytes into it, and the text
        // reaches back from the probe at most step - 2 bytes (none for steps of one or
        // two): so it starts at the run's first byte or, for a probe step - 1 bytes in
        // (or one byte in, for a step of two), at its second.
        const bool fromFirst = TextLooksLikeAddress(bytes, start, end, step, maxLength);
        const bool fromSecond =
            step == 1 ? fromFirst : TextLooksLikeAddress(bytes, start + 1, end, step, maxLength);
        if (fromFirst && fromSecond) return MailTextAnswer::kYes;
        if (fromFirst != fromSecond) unsure = true;
    }
    return unsure ? MailTextAnswer::kUnsure : MailTextAnswer::kNo;
}
