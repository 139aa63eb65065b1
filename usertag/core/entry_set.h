#pragma once
// The entries of one list, ordered by digest (bytes as unsigned) and then by the whole
// path without regard to letter case; an entry whose key is present already is not added
// again, so the first "added" time stays.
#include <set>

#include "list_entry.h"

// Three-way comparison of two paths without regard to case. The Win32 shell passes the C
// library's multibyte comparison, which follows the ANSI code page.
using PathCompare = int (*)(const char*, const char*);

// Folds ASCII letters only; for builds without the multibyte C library.
int AsciiPathCompare(const char* a, const char* b);

class EntrySet {
public:
    explicit EntrySet(PathCompare compare) : entries_(KeyLess{compare}) {}

    // False, with nothing changed, when an entry of that key is present.
    bool Insert(const ListEntry& entry);
    // False when no entry has that key.
    bool Remove(const unsigned char* digest, const char* path);

    PathCompare compare() const { return entries_.key_comp().compare; }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // The first entry, or the first whose key sorts after `key`'s; null at the end.
    const ListEntry* First() const;
    const ListEntry* FirstAfter(const ListEntry& key) const;

    template <class Visit>
    bool ForEach(Visit visit) const {
        for (const ListEntry& entry : entries_) {
            if (!visit(entry)) return false;
        }
        return true;
    }

private:
    struct KeyLess {
        PathCompare compare;
        bool operator()(const ListEntry& a, const ListEntry& b) const;
    };
    std::set<ListEntry, KeyLess> entries_;
};

// An enumeration over a set that is reloaded between the steps. It remembers the key it
// returned last rather than a position, so a reload cannot leave it dangling: the next
// step goes on with the first entry after that key in whatever the set now holds.
class EntryCursor {
public:
    // Nothing to enumerate until the next Rewind.
    void Reset() { state_ = State::kIdle; }
    void Rewind() { state_ = State::kAtStart; }
    // The next entry, or null at the end (and before the first Rewind).
    const ListEntry* Next(const EntrySet& entries);

private:
    enum class State { kIdle, kAtStart, kAfterLast };
    State state_ = State::kIdle;
    ListEntry last_{};
};
