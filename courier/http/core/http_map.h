#pragma once
// The client's header and parameter lists: an ordered multimap from name to entry,
// names compared without regard to ASCII case (a null name sorts first). A name equal
// to existing ones goes after them, so equal names keep their insertion order.
#include <cstdint>
#include <memory>
#include <vector>

namespace Torva {

// Parameter attribute bits (headers use 0).
enum HttpParamAttribute : uint32_t {
    kParamFile = 1,      // the value is a file path (multipart only)
    kParamNameRaw = 2,   // the name is sent unencoded
    kParamValueRaw = 4,  // the value is sent unencoded
};

class CHttpClientMapT {
public:
    struct Entry {
        std::unique_ptr<char[]> name;
        std::unique_ptr<char[]> value;  // may be null
        uint32_t attribute = 0;
    };

    // Adds copies of `name` and `value` (which may be null).
    void Add(const char* name, const char* value, uint32_t attribute);
    // Adds an entry that takes over `name` and `value`, already made with new[].
    void AddPointerDirectly(char* name, char* value, uint32_t attribute);
    void Clear() { entries_.clear(); }

    bool Empty() const { return entries_.empty(); }
    size_t Count() const { return entries_.size(); }
    // Entries in map order.
    const std::vector<Entry>& Entries() const { return entries_; }

    // Case-insensitive (ASCII) comparison of two names; null is less than any name.
    static int CompareNames(const char* a, const char* b);

private:
    void Insert(Entry entry);
    std::vector<Entry> entries_;
};

}  // namespace Torva
