#pragma once
// UserTag.dll as a host sees it: LoadLibraryA, the factory export, and the list interface
// called slot by slot through its table as thiscall, the way a host built by another
// compiler calls it.
#include <windows.h>

#include <string>
#include <vector>

#include "call_slot.h"
#include "component.h"

struct ListedEntry {
    std::string path;
    std::string digest;  // 32 lower-case hex digits
    std::string added;
    bool operator==(const ListedEntry& o) const {
        return path == o.path && digest == o.digest && added == o.added;
    }
};

class UserTagHost {
public:
    UserTagHost();
    ~UserTagHost();
    UserTagHost(const UserTagHost&) = delete;
    UserTagHost& operator=(const UserTagHost&) = delete;

    // Empty when the library and its list interface were found.
    const std::string& error() const { return error_; }
    HMODULE module() const { return module_; }
    GetKavroComponentPtrFn factory() const { return factory_; }
    IComponent* component() const { return component_; }
    void* list() const { return list_; }

    bool Open(const char* listPath);
    bool AddFile(const char* path, const unsigned char* digest = nullptr);
    bool RemoveFile(const char* path, const unsigned char* digest);
    void BeginEnum();
    bool NextEntry(char* path, unsigned char* digest, char* added);
    // BeginEnum, then NextEntry until it answers false.
    std::vector<ListedEntry> Entries();

private:
    template <class Result, class... Args>
    Result Slot(int slot, Args... args) {
        return kvtest::CallSlot<Result>(list_, slot, args...);
    }

    HMODULE module_ = nullptr;
    GetKavroComponentPtrFn factory_ = nullptr;
    IComponent* component_ = nullptr;
    void* list_ = nullptr;
    std::string error_;
};

std::string HexDigest(const unsigned char* digest);
