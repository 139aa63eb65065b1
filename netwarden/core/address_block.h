#pragma once
// The machine's own IPv4 addresses as the driver takes them: 64 bytes, up to 16
// addresses in network byte order, the rest zero.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kMaxAddresses = 16;
using AddressBlock = std::array<uint8_t, kMaxAddresses * 4>;

// The four bytes of a dotted-decimal address ("a.b.c.d", each part 0-255).
bool ParseDottedAddress(const std::string& text, uint8_t (&bytes)[4]);

// The block for the first 16 addresses of `dotted`. The texts come from the resolver's
// own formatting; one that does not read back is left out rather than sent as garbage.
AddressBlock BuildAddressBlock(const std::vector<std::string>& dotted);
