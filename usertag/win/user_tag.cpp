#include "user_tag.h"

#include <windows.h>

#include <mbstring.h>

#include <cstring>

#include "list_store_win.h"
#include "machine_id_win.h"

namespace {

// Paths compare without regard to case as the C library folds them in the ANSI code page.
int MultibytePathCompare(const char* a, const char* b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                    reinterpret_cast<const unsigned char*>(b));
}

// Nothing may leave a slot as an exception; running out of memory is a failure.
template <class Body>
bool Guarded(Body body) {
    try {
        return body();
    } catch (...) {
        return false;
    }
}

}  // namespace

CUserTag::CUserTag() : entries_(MultibytePathCompare) {}

const char* CUserTag::GetName(char* buffer, int size) {
    return AnswerComponentName(kUserTagName, buffer, size);
}

void* CUserTag::GetInterface(const char* name, int) {
    return ComponentNameEquals(name, kUserTagName) ? static_cast<IUserDigestList*>(this) : nullptr;
}

bool CUserTag::Open(const char* listPath) {
    // Until the new list and its identifier are both in place the component holds no list:
    // an Open that fails on the way (out of memory) must not leave a path that a later
    // AddFile would save over with an empty identifier.
    listPath_.clear();
    acceptedIds_.clear();
    std::memset(machineId_, 0, sizeof(machineId_));
    cursor_.Reset();
    const bool opened = Guarded([&] {
        if (listPath == nullptr || *listPath == '\0') return false;
        // One reading of the facts gives both identifiers.
        const MachineFacts facts = ReadMachineFacts();
        char machineId[kListIdFieldSize] = {};
        WriteMachineId(MachineIdDigits(facts), machineId, sizeof(machineId));
        std::vector<std::string> acceptedIds = {machineId,
                                                MachineIdDigits(WithoutRegistryFacts(facts))};
        std::string path = listPath;
        std::memcpy(machineId_, machineId, sizeof(machineId_));
        acceptedIds_.swap(acceptedIds);
        listPath_.swap(path);
        return true;
    });
    if (!opened) {
        entries_ = EntrySet(entries_.compare());
        return false;
    }
    return Guarded([&] { return Load(); });
}

bool CUserTag::AddFile(const char* path, const unsigned char* digest) {
    return Guarded([&] {
        if (listPath_.empty() || path == nullptr) return false;
        unsigned char computed[kDigestSize];
        if (digest == nullptr) {
            if (!DigestFile(path, computed)) return false;
            digest = computed;
        }
        ListEntry entry;
        if (!MakeListEntry(digest, path, LocalTimeText().c_str(), &entry) || !Load()) {
            return false;
        }
        entries_.Insert(entry);
        return Save();
    });
}

bool CUserTag::RemoveFile(const char* path, const unsigned char* digest) {
    return Guarded([&] {
        if (listPath_.empty() || path == nullptr || digest == nullptr || !Load()) return false;
        if (!entries_.Remove(digest, path)) return true;
        return Save();
    });
}

void CUserTag::BeginEnum() {
    Guarded([&] {
        Load();
        cursor_.Rewind();
        return true;
    });
}

bool CUserTag::NextEntry(char* pathOut, unsigned char* digestOut, char* addedOut) {
    return Guarded([&] {
        const ListEntry* entry = cursor_.Next(entries_);
        if (entry == nullptr) return false;
        // Both texts are terminated inside their fields: loading skips records that are not.
        if (pathOut != nullptr) std::strcpy(pathOut, entry->path);
        if (digestOut != nullptr) std::memcpy(digestOut, entry->digest, kDigestSize);
        if (addedOut != nullptr) std::strcpy(addedOut, entry->added);
        return true;
    });
}

bool CUserTag::Load() {
    if (listPath_.empty()) {
        entries_ = EntrySet(entries_.compare());
        return false;
    }
    return LoadListFile(listPath_, acceptedIds_, &entries_);
}

bool CUserTag::Save() {
    return SaveListFile(listPath_, machineId_, entries_);
}
