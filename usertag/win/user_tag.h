#pragma once
// The component object of UserTag.dll: IComponent first, the list interface second.
#include <string>

#include "component.h"
#include "entry_set.h"
#include "list_format.h"
#include "user_digest_list.h"

class CUserTag : public IComponent, public IUserDigestList {
public:
    CUserTag();

    const char* GetName(char* buffer, int size) override;
    void* GetInterface(const char* name, int reserved) override;

    bool Open(const char* listPath) override;
    bool AddFile(const char* path, const unsigned char* digest) override;
    bool RemoveFile(const char* path, const unsigned char* digest) override;
    void BeginEnum() override;
    bool NextEntry(char* pathOut, unsigned char* digestOut, char* addedOut) override;

private:
    bool Load();
    bool Save();

    std::string listPath_;
    // This machine's identifier, zero-padded as the list header stores it.
    char machineId_[kListIdFieldSize] = {};
    // Lists carrying either identifier are this machine's: the second is what accounts
    // without write rights on the firmware keys computed before (see WithoutRegistryFacts).
    std::vector<std::string> acceptedIds_;
    EntrySet entries_;
    EntryCursor cursor_;
};
