#pragma once
// The blocks that hold subjects' content copies. A host scans one file after another,
// each copy up to 16 MiB; handing the last released block to the next subject saves
// asking the system for fresh zeroed pages (and giving them back) for every file.
#include <cstddef>
#include <utility>

class ContentBlock {
public:
    ContentBlock() = default;
    ContentBlock(const ContentBlock&) = delete;
    ContentBlock& operator=(const ContentBlock&) = delete;
    ~ContentBlock() { Release(); }

    // At least `length` bytes of undefined content; false, holding nothing, when memory
    // runs out. Whatever the block held before is gone.
    bool Acquire(size_t length);
    // Gives the bytes back; the block then holds nothing.
    void Release();

    unsigned char* data() const { return data_; }
    void Swap(ContentBlock& other) {
        std::swap(data_, other.data_);
        std::swap(capacity_, other.capacity_);
    }

private:
    unsigned char* data_ = nullptr;
    size_t capacity_ = 0;
};

// The bytes the process keeps aside for the next subject (for tests of the reuse).
size_t SpareContentBytes();
