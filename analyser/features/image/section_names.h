#pragma once
// Section names of an image compared with the three names a plain compiled program has.
#include <cstddef>

// Section headers follow the NT headers at this distance, the size of the signature,
// file header and a full PE32 optional header, whatever the header's own size field says.
constexpr int kSectionTableDistance = 248;
constexpr int kSectionHeaderSize = 40;
constexpr int kSectionNameSize = 8;

// True when `name` (`length` bytes) agrees with one of ".data", ".rdata", ".text" over
// the shorter of the two lengths, so prefixes (".t", "") and extensions (".textbss") of
// a known name count as known.
bool IsKnownSectionName(const unsigned char* name, size_t length);

// True when one of the first `count` section headers at `ntOffset` + 248 has a name that
// is not known. Headers that do not lie inside the `size` bytes of `content` end the scan.
bool HasUnknownSectionName(const unsigned char* content, int size, int ntOffset, int count);
