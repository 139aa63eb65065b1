// The trust library's seven entry points, recording what they are given. The trust
// structures are read through the system headers' own declarations.
#include <windows.h>
// After windows.h, in this order.
// clang-format off
#include <wintrust.h>
#include <mscat.h>
// clang-format on

#include <cstring>
#include <cwchar>

#include "fake_trust.h"

namespace {

FakeTrustLog gLog = {};
int gAdmin;  // the addresses of these stand for the contexts handed out
int gCatalog;

void CopyPath(WCHAR* to, const WCHAR* from) {
    if (from != nullptr) wcsncpy(to, from, MAX_PATH - 1);
}

}  // namespace

extern "C" {

FakeTrustLog* WINAPI GetFakeTrustLog() {
    return &gLog;
}

BOOL WINAPI CryptCATAdminAcquireContext(HCATADMIN* admin, const GUID* subsystem, DWORD flags) {
    ++gLog.acquireCalls;
    gLog.acquireSubsystemNull = subsystem == nullptr;
    gLog.acquireFlags = flags;
    *admin = &gAdmin;
    return TRUE;
}

BOOL WINAPI CryptCATAdminCalcHashFromFileHandle(HANDLE file, DWORD* hashSize, BYTE* hash,
                                                DWORD /*flags*/) {
    ++gLog.calcHashCalls;
    gLog.hashBufferSize = *hashSize;
    LARGE_INTEGER size = {};
    gLog.hashedFileSize = GetFileSizeEx(file, &size) ? size.QuadPart : -1;
    if (*hashSize < 20) return FALSE;
    for (int i = 0; i < 20; ++i) hash[i] = FAKE_TRUST_HASH_BYTE(i);
    *hashSize = 20;
    return TRUE;
}

HCATINFO WINAPI CryptCATAdminEnumCatalogFromHash(HCATADMIN admin, BYTE* /*hash*/,
                                                 DWORD /*hashSize*/, DWORD /*flags*/,
                                                 HCATINFO* /*previous*/) {
    ++gLog.enumCalls;
    if (admin != &gAdmin) ++gLog.contextMismatches;
    return gLog.catalogFound ? &gCatalog : nullptr;
}

BOOL WINAPI CryptCATCatalogInfoFromContext(HCATINFO catalog, CATALOG_INFO* info, DWORD /*flags*/) {
    ++gLog.catalogInfoCalls;
    gLog.catalogInfoSize = info->cbStruct;
    if (catalog != &gCatalog) return FALSE;
    wcscpy(info->wszCatalogFile, FAKE_TRUST_CATALOG);
    return TRUE;
}

BOOL WINAPI CryptCATAdminReleaseCatalogContext(HCATADMIN admin, HCATINFO catalog, DWORD /*flags*/) {
    ++gLog.releaseCatalogCalls;
    if (admin != &gAdmin || catalog != &gCatalog) ++gLog.contextMismatches;
    return TRUE;
}

BOOL WINAPI CryptCATAdminReleaseContext(HCATADMIN admin, DWORD /*flags*/) {
    ++gLog.releaseContextCalls;
    if (admin != &gAdmin) ++gLog.contextMismatches;
    return TRUE;
}

LONG WINAPI WinVerifyTrust(HWND window, GUID* action, void* data) {
    ++gLog.verifyCalls;
    gLog.windowNull = window == nullptr;
    gLog.action = *action;
    const WINTRUST_DATA* trust = static_cast<const WINTRUST_DATA*>(data);
    gLog.dataSize = trust->cbStruct;
    gLog.uiChoice = trust->dwUIChoice;
    gLog.revocationChecks = trust->fdwRevocationChecks;
    gLog.unionChoice = trust->dwUnionChoice;
    gLog.stateAction = trust->dwStateAction;
    gLog.provFlags = trust->dwProvFlags;
    if (trust->dwUnionChoice == WTD_CHOICE_FILE) {
        gLog.infoSize = trust->pFile->cbStruct;
        CopyPath(gLog.filePath, trust->pFile->pcwszFilePath);
    } else if (trust->dwUnionChoice == WTD_CHOICE_CATALOG) {
        gLog.infoSize = trust->pCatalog->cbStruct;
        CopyPath(gLog.catalogPath, trust->pCatalog->pcwszCatalogFilePath);
        CopyPath(gLog.memberPath, trust->pCatalog->pcwszMemberFilePath);
        if (trust->pCatalog->pcwszMemberTag != nullptr)
            wcsncpy(gLog.memberTag, trust->pCatalog->pcwszMemberTag, 63);
    }
    return gLog.verifyAnswer;
}

}  // extern "C"
