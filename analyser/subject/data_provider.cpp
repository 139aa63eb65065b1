#include "data_provider.h"

#include <cstring>
#include <new>

#include "path_split.h"

namespace {

// The derived names live in process-wide scratch space, as callers of the record have
// always relied on: each call overwrites the previous answer of any record.
constexpr size_t kBaseNameBufferSize = 260;
char g_baseName[kBaseNameBufferSize];
std::string g_extName;

}  // namespace

CDataProvider::CDataProvider(int id) : id_(id) {}

CDataProvider::~CDataProvider() = default;

int CDataProvider::GetId() {
    return id_;
}

int CDataProvider::GetFileSize() {
    return size_;
}

const uint64_t* CDataProvider::GetStamp() {
    return &stamp_;
}

const int64_t* CDataProvider::GetCreateTime() {
    return &createTime_;
}

const char* CDataProvider::GetBaseName() {
    const std::string name = SplitFileName(path_);
    // The splitter's file-name buffer holds 259 characters and the terminator.
    const size_t length = name.size() < kBaseNameBufferSize ? name.size() : kBaseNameBufferSize - 1;
    memcpy(g_baseName, name.data(), length);
    g_baseName[length] = '\0';
    return g_baseName;
}

const char* CDataProvider::GetExtName() {
    g_extName = ExtensionText(path_);
    return g_extName.c_str();
}

const char* CDataProvider::GetPath() {
    return path_.c_str();
}

const char* CDataProvider::GetProviderName() {
    return kProviderName;
}

unsigned char* CDataProvider::GetContent(int offset, int /*length*/) {
    if (content_.data() == nullptr) return nullptr;
    // Readers take GetFileSize() bytes from here. A size given again after the bytes,
    // and larger than the copy, would send them past its end: then the record has no
    // content that matches its size.
    if (static_cast<uint32_t>(size_) > contentLength_) return nullptr;
    return content_.data() + offset;
}

void CDataProvider::AssignFileSize(const int* size) {
    size_ = *size;
}

void CDataProvider::SetStamp(const void* stamp) {
    memcpy(&stamp_, stamp, sizeof(stamp_));
}

void CDataProvider::SetCreateTime(const void* createTime) {
    memcpy(&createTime_, createTime, sizeof(createTime_));
}

void CDataProvider::SetPath(const char* const* text) {
    const char* value = *text;
    path_ = value != nullptr ? value : "";
}

int CDataProvider::SetFileSize(const int* size) {
    size_ = *size;
    return 1;
}

int CDataProvider::SetContent(const unsigned char* const* source) {
    if (size_ == -1) return -1;
    if (static_cast<uint32_t>(size_) > kMaxContentSize) size_ = static_cast<int>(kMaxContentSize);
    // A negative size other than -1 reads as a huge unsigned count and was cut above.
    const size_t length = static_cast<uint32_t>(size_);
    if (length != 0 && *source == nullptr) return -1;
    // The host's bytes may be the record's own (a copy handed back in): they are copied
    // into a fresh block before the old one goes.
    ContentBlock copy;
    if (!copy.Acquire(length + 1)) {
        content_.Release();
        contentLength_ = 0;
        return -1;
    }
    if (length != 0) memcpy(copy.data(), *source, length);
    content_.Release();
    content_.Swap(copy);
    contentLength_ = static_cast<uint32_t>(length);
    return 1;
}

int CDataProvider::GetTag() {
    return tag_;
}

void CDataProvider::SetTag(int tag) {
    tag_ = tag;
}
