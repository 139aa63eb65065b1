#pragma once
// The list interface of UserTag.dll, handed out by GetInterface("UserTag"). Its slot order,
// thiscall and the 8-bit bool results are an ABI with hosts built by other compilers: never
// reorder, never add a virtual destructor (GCC would emit two slots for it, MSVC one). The
// object is the library's own and is never deleted through this interface.
//
// Texts are narrow strings in the ANSI code page.
class IUserDigestList {
public:
    // Slot 0. Takes `listPath` as the list file and loads it (a missing file is an empty
    // list). False when the file cannot be read, or for a null path or a failure before the
    // machine identifier is in place (then no list is open and nothing is written).
    virtual bool Open(const char* listPath) = 0;
    // Slot 1. Adds `path` with `digest` (16 bytes), or with the MD5 of the file's content
    // when `digest` is null, stamped with the local time; re-reads the list first and saves
    // it afterwards. An entry present already keeps its first time.
    virtual bool AddFile(const char* path, const unsigned char* digest) = 0;
    // Slot 2. Removes the entry (digest, path); true without saving when there is none.
    virtual bool RemoveFile(const char* path, const unsigned char* digest) = 0;
    // Slot 3. Re-reads the list and starts an enumeration at its first entry.
    virtual void BeginEnum() = 0;
    // Slot 4. The next entry into the non-null buffers (path 520 bytes, digest 16, time 32);
    // false at the end. After a re-read it goes on after the entry it returned last.
    virtual bool NextEntry(char* pathOut, unsigned char* digestOut, char* addedOut) = 0;

protected:
    ~IUserDigestList() = default;
};

constexpr const char kUserTagName[] = "UserTag";
