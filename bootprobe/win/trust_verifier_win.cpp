#include "trust_verifier_win.h"

#include <cwchar>

namespace {

// The hash the catalogs list: 20 bytes (SHA-1).
constexpr DWORD kCatalogHashSize = 20;

std::wstring Widen(const char* path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], length) != length) return {};
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

// The member tag a catalog files a hash under: its bytes as upper-case hex.
std::wstring MemberTag(const BYTE* hash, DWORD size) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring tag;
    for (DWORD i = 0; i < size; ++i) {
        tag += kDigits[hash[i] >> 4];
        tag += kDigits[hash[i] & 0xF];
    }
    return tag;
}

// Releases a context of the trust library, through the function that library gives,
// whatever path the check leaves by.
template <class Release>
class ReleaseOnExit {
public:
    explicit ReleaseOnExit(Release release) : release_(release) {}
    ~ReleaseOnExit() { release_(); }
    ReleaseOnExit(const ReleaseOnExit&) = delete;
    ReleaseOnExit& operator=(const ReleaseOnExit&) = delete;

private:
    Release release_;
};

}  // namespace

bool CTrustVerifier::Load() {
    if (loadTried_) return usable_;
    loadTried_ = true;
    library_.reset(LoadLibraryA(libraryName_.c_str()));
    if (!library_) return false;
    HMODULE module = library_.get();
    acquireContext_ = ProcAddress<AcquireContextFn>(module, "CryptCATAdminAcquireContext");
    calcHash_ = ProcAddress<CalcHashFn>(module, "CryptCATAdminCalcHashFromFileHandle");
    enumCatalog_ = ProcAddress<EnumCatalogFn>(module, "CryptCATAdminEnumCatalogFromHash");
    releaseContext_ = ProcAddress<ReleaseContextFn>(module, "CryptCATAdminReleaseContext");
    catalogInfo_ = ProcAddress<CatalogInfoFn>(module, "CryptCATCatalogInfoFromContext");
    releaseCatalog_ = ProcAddress<ReleaseCatalogFn>(module, "CryptCATAdminReleaseCatalogContext");
    verifyTrust_ = ProcAddress<VerifyTrustFn>(module, "WinVerifyTrust");
    usable_ = acquireContext_ && calcHash_ && enumCatalog_ && releaseContext_ && catalogInfo_ &&
              releaseCatalog_ && verifyTrust_;
    return usable_;
}

bool CTrustVerifier::IsTrusted(const char* path, const Md5Digest& digest) {
    if (path == nullptr || !Load()) return false;
    if (trusted_.count(digest) != 0) return true;
    const std::wstring widePath = Widen(path);
    if (widePath.empty() || !SystemTrusts(widePath)) return false;
    trusted_.insert(digest);
    return true;
}

bool CTrustVerifier::SystemTrusts(const std::wstring& path) {
    HANDLE admin = nullptr;
    if (!acquireContext_(&admin, nullptr, 0)) return false;
    const ReleaseOnExit adminRelease([&] { releaseContext_(admin, 0); });

    BYTE hash[kCatalogHashSize] = {};
    DWORD hashSize = sizeof(hash);
    {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ,        // others may read meanwhile
                                    nullptr,                // default security
                                    OPEN_EXISTING,          // never create
                                    FILE_ATTRIBUTE_NORMAL,  // no special access pattern
                                    nullptr));              // no template
        if (!file || !calcHash_(file.get(), &hashSize, hash, 0)) return false;
    }
    if (hashSize == 0 || hashSize > sizeof(hash)) return false;
    const std::wstring tag = MemberTag(hash, hashSize);

    TrustData data = {};
    data.cbStruct = sizeof(data);
    data.uiChoice = kTrustNoUi;
    TrustFileInfo fileInfo = {};
    TrustCatalogInfo catalogInfo = {};
    CatalogInfo catalog = {};

    HANDLE catalogContext = enumCatalog_(admin, hash, hashSize, 0, nullptr);
    const ReleaseOnExit catalogRelease([&] {
        if (catalogContext != nullptr) releaseCatalog_(admin, catalogContext, 0);
    });
    if (catalogContext != nullptr) {
        catalog.cbStruct = sizeof(catalog);
        if (!catalogInfo_(catalogContext, &catalog, 0)) return false;
        catalog.catalogFile[MAX_PATH - 1] = L'\0';
        catalogInfo.cbStruct = sizeof(catalogInfo);
        catalogInfo.catalogFilePath = catalog.catalogFile;
        catalogInfo.memberTag = tag.c_str();
        catalogInfo.memberFilePath = path.c_str();
        data.revocationChecks = kTrustRevokeWholeChain;
        data.unionChoice = kTrustChoiceCatalog;
        data.info = &catalogInfo;
    } else {
        fileInfo.cbStruct = sizeof(fileInfo);
        fileInfo.filePath = path.c_str();
        data.revocationChecks = kTrustRevokeNone;
        data.unionChoice = kTrustChoiceFile;
        data.info = &fileInfo;
        data.provFlags = kTrustProvSafer;
    }

    GUID action = kGenericVerifyAction;
    // Only 0 means trusted: some systems answer a failure with a plain positive error
    // code (a missing file, a directory, a sharing violation) instead of a negative one.
    return verifyTrust_(nullptr, &action, &data) == 0;
}
