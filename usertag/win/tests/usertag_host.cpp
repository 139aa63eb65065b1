#include "usertag_host.h"

#include <cstdio>

#include "component.h"
#include "win32/handles.h"

UserTagHost::UserTagHost() {
    SetLastError(0xDEADBEEF);
    module_ = LoadLibraryA("UserTag.dll");
    if (module_ == nullptr) {
        error_ = "LoadLibrary(UserTag.dll) failed, error " + std::to_string(GetLastError());
        return;
    }
    factory_ = ProcAddress<GetKavroComponentPtrFn>(module_, "GetKavroComponentPtr");
    if (factory_ == nullptr || factory_(&component_, nullptr) != 1 || component_ == nullptr) {
        error_ = "GetKavroComponentPtr is missing or gave no component";
        return;
    }
    list_ = component_->GetInterface("UserTag", 0);
    if (list_ == nullptr) error_ = "GetInterface(\"UserTag\") gave null";
}

UserTagHost::~UserTagHost() {
    if (module_ != nullptr) FreeLibrary(module_);
}

bool UserTagHost::Open(const char* listPath) {
    return Slot<bool>(0, listPath);
}

bool UserTagHost::AddFile(const char* path, const unsigned char* digest) {
    return Slot<bool>(1, path, digest);
}

bool UserTagHost::RemoveFile(const char* path, const unsigned char* digest) {
    return Slot<bool>(2, path, digest);
}

void UserTagHost::BeginEnum() {
    Slot<void>(3);
}

bool UserTagHost::NextEntry(char* path, unsigned char* digest, char* added) {
    return Slot<bool>(4, path, digest, added);
}

std::vector<ListedEntry> UserTagHost::Entries() {
    std::vector<ListedEntry> entries;
    BeginEnum();
    char path[520];
    unsigned char digest[16];
    char added[32];
    while (entries.size() < 100000 && NextEntry(path, digest, added)) {
        entries.push_back({path, HexDigest(digest), added});
    }
    return entries;
}

std::string HexDigest(const unsigned char* digest) {
    char text[33];
    for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return text;
}
