#pragma once
// The subject record: everything a host told the analyser about one file or process
// image. Features read it through IVirusCaptorDataProvidor; only the analyser writes.
// Slot order is an ABI (thiscall, MSVC vtable layout): never reorder, never add a
// virtual destructor in front of the other slots.
#include <cstdint>
#include <string>

#include "content_block.h"

class IVirusCaptorDataProvidor {
public:
    // Slot 0. The subject id given at construction.
    virtual int GetId() = 0;
    // Slot 1. The byte count the host gave; -1 when not set.
    virtual int GetFileSize() = 0;
    // Slot 2. The host's opaque 8-byte stamp (zero until set).
    virtual const uint64_t* GetStamp() = 0;
    // Slot 3. Creation time, signed seconds since 1970-01-01 UTC (zero until set).
    virtual const int64_t* GetCreateTime() = 0;
    // Slot 4. File name without directory and last extension, in a process-wide
    // 260-byte scratch buffer that the next call on any record overwrites.
    virtual const char* GetBaseName() = 0;
    // Slot 5. File name text after its first dot (the whole name when it has none), in
    // a process-wide scratch text that the next call on any record overwrites.
    virtual const char* GetExtName() = 0;
    // Slot 6. The path as the host gave it; empty until set.
    virtual const char* GetPath() = 0;
    // Slot 7. Always "FileProvidor".
    virtual const char* GetProviderName() = 0;
    // Slot 8. content + offset, or null without content (also when the size was
    // raised beyond the copied bytes after the copy). `offset` is not checked against
    // the size; `length` is not used.
    virtual unsigned char* GetContent(int offset, int length) = 0;
    // Slot 9. Sets the size from *size without any other effect.
    virtual void AssignFileSize(const int* size) = 0;
    // Slot 10. Copies 8 bytes.
    virtual void SetStamp(const void* stamp) = 0;
    // Slot 11. Copies 8 bytes.
    virtual void SetCreateTime(const void* createTime) = 0;
    // Slot 12. Copies the NUL-terminated text *text; a null text gives an empty path.
    virtual void SetPath(const char* const* text) = 0;
    // Slot 13. Sets the size from *size; returns 1.
    virtual int SetFileSize(const int* size) = 0;
    // Slot 14. Copies `size` bytes from *source (at most 16 MiB, the size is cut to
    // match); 1 on success, -1 when no size is set or memory runs out.
    virtual int SetContent(const unsigned char* const* source) = 0;

protected:
    ~IVirusCaptorDataProvidor() = default;
};

// Largest content copy a record keeps; longer content is cut to its first bytes.
constexpr uint32_t kMaxContentSize = 0x1000000;

class CDataProvider final : public IVirusCaptorDataProvidor {
public:
    explicit CDataProvider(int id);
    ~CDataProvider();
    CDataProvider(const CDataProvider&) = delete;
    CDataProvider& operator=(const CDataProvider&) = delete;

    int GetId() override;
    int GetFileSize() override;
    const uint64_t* GetStamp() override;
    const int64_t* GetCreateTime() override;
    const char* GetBaseName() override;
    const char* GetExtName() override;
    const char* GetPath() override;
    const char* GetProviderName() override;
    unsigned char* GetContent(int offset, int length) override;
    void AssignFileSize(const int* size) override;
    void SetStamp(const void* stamp) override;
    void SetCreateTime(const void* createTime) override;
    void SetPath(const char* const* text) override;
    int SetFileSize(const int* size) override;
    int SetContent(const unsigned char* const* source) override;
    // Slot 15.
    virtual int GetTag();
    // Slot 16.
    virtual void SetTag(int tag);

private:
    int id_;
    int tag_ = -1;
    std::string path_;
    ContentBlock content_;
    uint32_t contentLength_ = 0;  // bytes held at content_
    int size_ = -1;
    uint64_t stamp_ = 0;
    int64_t createTime_ = 0;
};

constexpr const char kProviderName[] = "FileProvidor";
