#pragma once
// The trust structures in the sizes this library hands to the system's trust
// verification: the first, shorter versions, which every version of the system takes
// (each structure says its own size in its first field).
#include <windows.h>

#include <cstddef>

struct TrustFileInfo {
    DWORD cbStruct;
    const wchar_t* filePath;
    HANDLE file;
    GUID* knownSubject;
};

struct TrustCatalogInfo {
    DWORD cbStruct;
    DWORD catalogVersion;
    const wchar_t* catalogFilePath;
    const wchar_t* memberTag;
    const wchar_t* memberFilePath;
    HANDLE memberFile;
    BYTE* calculatedFileHash;
    DWORD calculatedFileHashSize;
    const void* catalogContext;
};

struct TrustData {
    DWORD cbStruct;
    void* policyCallbackData;
    void* sipClientData;
    DWORD uiChoice;
    DWORD revocationChecks;
    DWORD unionChoice;
    void* info;  // TrustFileInfo or TrustCatalogInfo, as unionChoice says
    DWORD stateAction;
    HANDLE stateData;
    wchar_t* urlReference;
    DWORD provFlags;
};

// What CryptCATCatalogInfoFromContext fills in: the catalog's file.
struct CatalogInfo {
    DWORD cbStruct;
    wchar_t catalogFile[MAX_PATH];
};

static_assert(sizeof(TrustFileInfo) == 16, "file information");
static_assert(offsetof(TrustFileInfo, filePath) == 4 && offsetof(TrustFileInfo, file) == 8 &&
                  offsetof(TrustFileInfo, knownSubject) == 12,
              "file information fields");
static_assert(sizeof(TrustCatalogInfo) == 36, "catalog information");
static_assert(offsetof(TrustCatalogInfo, catalogVersion) == 4 &&
                  offsetof(TrustCatalogInfo, catalogFilePath) == 8 &&
                  offsetof(TrustCatalogInfo, memberTag) == 12 &&
                  offsetof(TrustCatalogInfo, memberFilePath) == 16 &&
                  offsetof(TrustCatalogInfo, memberFile) == 20 &&
                  offsetof(TrustCatalogInfo, calculatedFileHash) == 24 &&
                  offsetof(TrustCatalogInfo, calculatedFileHashSize) == 28 &&
                  offsetof(TrustCatalogInfo, catalogContext) == 32,
              "catalog information fields");
static_assert(sizeof(TrustData) == 44, "trust data");
static_assert(offsetof(TrustData, policyCallbackData) == 4 &&
                  offsetof(TrustData, sipClientData) == 8 && offsetof(TrustData, uiChoice) == 12 &&
                  offsetof(TrustData, revocationChecks) == 16 &&
                  offsetof(TrustData, unionChoice) == 20 && offsetof(TrustData, info) == 24 &&
                  offsetof(TrustData, stateAction) == 28 && offsetof(TrustData, stateData) == 32 &&
                  offsetof(TrustData, urlReference) == 36 && offsetof(TrustData, provFlags) == 40,
              "trust data fields");
static_assert(sizeof(CatalogInfo) == 524 && offsetof(CatalogInfo, catalogFile) == 4,
              "catalog file information");

// Choices in TrustData.
constexpr DWORD kTrustNoUi = 2;
constexpr DWORD kTrustRevokeNone = 0;
constexpr DWORD kTrustRevokeWholeChain = 1;
constexpr DWORD kTrustChoiceFile = 1;
constexpr DWORD kTrustChoiceCatalog = 2;
constexpr DWORD kTrustProvSafer = 0x100;

// The generic verify action {00AAC56B-CD44-11D0-8CC2-00C04FC295EE}.
constexpr GUID kGenericVerifyAction = {
    0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
