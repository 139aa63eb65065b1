#pragma once
// What FakeTrust.dll records and answers. A test loads the stand-in itself, takes the
// log from the export GetFakeTrustLog, sets the answers and reads the records.
#include <windows.h>

struct FakeTrustLog {
    // Answers, set by the test.
    int catalogFound;   // the catalog search finds one catalog
    LONG verifyAnswer;  // what WinVerifyTrust returns
    // Calls.
    int acquireCalls, calcHashCalls, enumCalls, catalogInfoCalls, verifyCalls;
    int releaseContextCalls, releaseCatalogCalls;
    int contextMismatches;  // calls given a context this stand-in did not hand out
    // Arguments.
    BOOL acquireSubsystemNull;
    DWORD acquireFlags;
    DWORD hashBufferSize;     // *pcbHash on entry
    LONGLONG hashedFileSize;  // the size of the file whose handle was given
    DWORD catalogInfoSize;    // cbStruct of the catalog file information
    BOOL windowNull;
    GUID action;
    DWORD dataSize, uiChoice, revocationChecks, unionChoice, stateAction, provFlags;
    DWORD infoSize;  // cbStruct of the file or catalog information
    WCHAR filePath[MAX_PATH];
    WCHAR catalogPath[MAX_PATH];
    WCHAR memberTag[64];
    WCHAR memberPath[MAX_PATH];
};

// The hash the stand-in computes for every file, and the catalog it names.
#define FAKE_TRUST_HASH_BYTE(i) ((BYTE)(0x0F + 0x1D * (i)))
#define FAKE_TRUST_CATALOG L"C:\\fake\\catroot\\kvfake.cat"

typedef FakeTrustLog*(WINAPI* FakeTrustLogFn)(void);
