#pragma once
// One entry of a user's list: a file's MD5, its path and the local time it was added.
// The struct is also the entry's record in the list file, byte for byte.
#include <cstddef>

constexpr size_t kDigestSize = 16;
constexpr size_t kEntryPathSize = 520;
constexpr size_t kEntryAddedSize = 32;
constexpr size_t kEntryRecordSize = 568;

struct ListEntry {
    unsigned char digest[kDigestSize];
    char path[kEntryPathSize];    // zero-terminated, zero-padded
    char added[kEntryAddedSize];  // "%Y-%m-%d %H:%M:%S", zero-terminated, zero-padded
};
static_assert(sizeof(ListEntry) == kEntryRecordSize, "an entry is one 568-byte record");
static_assert(offsetof(ListEntry, digest) == 0, "digest at 0");
static_assert(offsetof(ListEntry, path) == 16, "path at 16");
static_assert(offsetof(ListEntry, added) == 536, "added at 536");

// An entry with every byte not taken by the texts zero. False when `path` (520 characters
// or more) or `added` (32 or more) does not fit its field with its terminator.
bool MakeListEntry(const unsigned char* digest, const char* path, const char* added,
                   ListEntry* out);
