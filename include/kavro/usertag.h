#ifndef KAVRO_USERTAG_H
#define KAVRO_USERTAG_H
// UserTag.dll for its hosts: a user's list of files (MD5 digest, path, time added) kept in
// one list file that is bound to this machine: a list written on another machine reads
// as empty.
//
// A host gets the list through the component convention (component.h):
// GetInterface(kUserTagName, 0) answers the IUserDigestList part of the object. Every
// operation that changes the list reads the file again first and saves it afterwards, so
// changes made by another process in between are kept. One calling thread at a time.
//
// Plain C++ for any 32-bit Windows compiler; it needs no windows.h.
#include "abi.h"
#include "component.h"

// The component's name, and the name of its list interface.
const char kUserTagName[] = "UserTag";

// Texts are narrow strings in the ANSI code page; digests are the 16 bytes of an MD5.
class IUserDigestList {
public:
    // Slot 0. Takes `listPath` as the list file and reads it (a missing file is an empty
    // list). False when the file cannot be read, or for a null path or a failure before
    // the machine identifier is in place (no list is open then, and nothing is written).
    virtual bool KAVRO_SLOT Open(const char* listPath) = 0;
    // Slot 1. Adds `path` with `digest`, or with the MD5 of the file's content when
    // `digest` is null, stamped with the local time, and saves the list. An entry present
    // already (same digest, same path in any letter case) keeps its first time. False when
    // no list was opened, for a path of 520 characters or more, a file that cannot be
    // read, or a failed save.
    virtual bool KAVRO_SLOT AddFile(const char* path, const unsigned char* digest) = 0;
    // Slot 2. Removes the entry (digest, path) and saves the list; true without saving
    // when there is none.
    virtual bool KAVRO_SLOT RemoveFile(const char* path, const unsigned char* digest) = 0;
    // Slot 3. Reads the list again and starts an enumeration at its first entry.
    virtual void KAVRO_SLOT BeginEnum() = 0;
    // Slot 4. The next entry into the buffers that are not null: the path (520 bytes),
    // the digest (16 bytes) and the time added, "YYYY-MM-DD hh:mm:ss" (32 bytes). False at
    // the end of the list.
    virtual bool KAVRO_SLOT NextEntry(char* pathOut, unsigned char* digestOut, char* addedOut) = 0;

protected:
    // The library's own object: never deleted through this interface.
    ~IUserDigestList() {}
};

#endif  // KAVRO_USERTAG_H
