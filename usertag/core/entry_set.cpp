#include "entry_set.h"

#include <cstring>

bool MakeListEntry(const unsigned char* digest, const char* path, const char* added,
                   ListEntry* out) {
    const size_t pathLength = std::strlen(path);
    const size_t addedLength = std::strlen(added);
    if (pathLength >= kEntryPathSize || addedLength >= kEntryAddedSize) return false;
    std::memset(out, 0, sizeof(*out));
    std::memcpy(out->digest, digest, kDigestSize);
    std::memcpy(out->path, path, pathLength);
    std::memcpy(out->added, added, addedLength);
    return true;
}

int AsciiPathCompare(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

bool EntrySet::KeyLess::operator()(const ListEntry& a, const ListEntry& b) const {
    const int byDigest = std::memcmp(a.digest, b.digest, kDigestSize);
    if (byDigest != 0) return byDigest < 0;
    // Whole paths: "x.bin" and "x.bin.bak" are two entries even with the same content.
    return compare(a.path, b.path) < 0;
}

bool EntrySet::Insert(const ListEntry& entry) {
    return entries_.insert(entry).second;
}

bool EntrySet::Remove(const unsigned char* digest, const char* path) {
    ListEntry key;
    if (!MakeListEntry(digest, path, "", &key)) return false;
    return entries_.erase(key) == 1;
}

const ListEntry* EntrySet::First() const {
    return entries_.empty() ? nullptr : &*entries_.begin();
}

const ListEntry* EntrySet::FirstAfter(const ListEntry& key) const {
    auto next = entries_.upper_bound(key);
    return next == entries_.end() ? nullptr : &*next;
}

const ListEntry* EntryCursor::Next(const EntrySet& entries) {
    const ListEntry* next = nullptr;
    switch (state_) {
        case State::kIdle:
            return nullptr;
        case State::kAtStart:
            next = entries.First();
            break;
        case State::kAfterLast:
            next = entries.FirstAfter(last_);
            break;
    }
    if (next == nullptr) return nullptr;
    last_ = *next;
    state_ = State::kAfterLast;
    return next;
}
