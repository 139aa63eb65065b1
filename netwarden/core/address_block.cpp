#include "address_block.h"

#include <cstring>

bool ParseDottedAddress(const std::string& text, uint8_t (&bytes)[4]) {
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
        unsigned value = 0;
        size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        bytes[part] = static_cast<uint8_t>(value);
    }
    return at == text.size();
}

AddressBlock BuildAddressBlock(const std::vector<std::string>& dotted) {
    AddressBlock block = {};
    size_t filled = 0;
    for (const std::string& text : dotted) {
        if (filled == kMaxAddresses) break;
        uint8_t bytes[4];
        if (!ParseDottedAddress(text, bytes)) continue;
        std::memcpy(block.data() + 4 * filled++, bytes, 4);
    }
    return block;
}
