#pragma once
// Files as this library opens them: for reading, with the library's share mode, mapped
// whole and read-only.
#include <windows.h>

#include <cstdint>

#include "win32/handles.h"

// Read and write sharing, and delete sharing too on the NT family (the top bit of
// GetVersion clear), so that no one else is kept from working with the file while it
// is looked at. Computed once.
DWORD LibraryShareMode();

class MappedFile {
public:
    // False when the file cannot be opened or mapped (an empty file cannot be mapped,
    // nor a file too large for the address space).
    bool Open(const char* path);

    const unsigned char* data() const { return static_cast<const unsigned char*>(view_.get()); }
    uint64_t size() const { return size_; }

private:
    UniqueFile file_;
    UniqueHandle mapping_;
    UniqueView view_;
    uint64_t size_ = 0;
};
