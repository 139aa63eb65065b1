#include "mail_text.h"

#include "byte_search.h"

namespace {

// The dot must be among this many characters from the second-to-last one down.
constexpr int kDotWindow = 4;
// Indices below this are never looked at.
constexpr int kLowestIndex = 2;

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
