#include "pe_helper.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {

// Field offsets from e_lfanew in the 32-bit NT headers.
constexpr uint64_t kNtHeadersSize = 248;  // signature, file header, full PE32 optional header
constexpr uint64_t kNumberOfSections = 6;
constexpr uint64_t kSizeOfCode = 28;
constexpr uint64_t kAddressOfEntryPoint = 40;
constexpr uint64_t kBaseOfCode = 44;
constexpr uint64_t kBaseOfData = 48;
constexpr uint64_t kImageBase = 52;
constexpr uint64_t kSizeOfImage = 80;
constexpr uint64_t kExportDirectory = 120;
constexpr uint64_t kImportDirectory = 128;
constexpr uint64_t kResourceDirectory = 136;
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint32_t kPeSignature = 0x4550;
static_assert(kResourceDirectory + 8 <= kNtHeadersSize, "directories lie in the NT headers");

// The results of the two signature searches; each call overwrites its own buffer.
char gPackerResult[kSignatureResultSize];
char gCompilerResult[kSignatureResultSize];

const char* AnswerSearch(const char* name, char* buffer) {
    std::memset(buffer, 0, kSignatureResultSize);
    if (name == nullptr) return nullptr;
    std::strncpy(buffer, name, kSignatureResultSize - 1);
    return buffer;
}

}  // namespace

CPEHelper::CPEHelper()
    : packers_(PackerSparseText(), PackerExactText()),
      compilers_(CompilerSparseText(), CompilerExactText()) {}

int CPEHelper::ToOffset(int64_t offset) {
    if (offset < 0 || offset > std::numeric_limits<int32_t>::max()) return -1;
    return static_cast<int>(offset);
}

void CPEHelper::ClearDerived() {
    sectionMap_.Clear();
    imports_.clear();
    nameArena_.clear();
    strings_.clear();
    stringArena_.clear();
}

int CPEHelper::Parse(const unsigned char* image, int size) {
    view_ = ImageView(image, size > 0 ? static_cast<uint64_t>(size) : 0);
    parsed_ = false;
    entryOffset_ = -1;
    ClearDerived();
    try {
        if (!view_.Has(0, 64) || image[0] != 'M' || image[1] != 'Z') return 0;
        const int32_t lfanew = static_cast<int32_t>(view_.Read32Or0(60));
        if (lfanew < 0 || !view_.Has(static_cast<uint64_t>(lfanew), kNtHeadersSize)) return 0;
        const uint64_t nt = static_cast<uint64_t>(lfanew);
        if (view_.Read32Or0(nt) != kPeSignature) return 0;

        ntOffset_ = lfanew;
        const uint16_t declared = view_.Read16Or0(nt + kNumberOfSections);
        std::vector<SectionEntry> sections;
        for (uint64_t i = 0; i < declared; ++i) {
            const uint64_t header = nt + kNtHeadersSize + i * kSectionHeaderSize;
            if (!view_.Has(header, kSectionHeaderSize)) break;
            sections.push_back({view_.Read32Or0(header + 12), view_.Read32Or0(header + 16),
                                view_.Read32Or0(header + 20)});
        }
        sectionMap_.Assign(std::move(sections));
        parsed_ = true;

        entryRva_ = view_.Read32Or0(nt + kAddressOfEntryPoint);
        const SectionHit entry = sectionMap_.Find(entryRva_);
        entryOffset_ = entry.index >= 0 ? entry.offset : static_cast<int64_t>(entryRva_);
        sectionCount_ = declared;
        sizeOfCode_ = static_cast<int>(view_.Read32Or0(nt + kSizeOfCode));
        baseOfCode_ = static_cast<int>(view_.Read32Or0(nt + kBaseOfCode));
        baseOfData_ = static_cast<int>(view_.Read32Or0(nt + kBaseOfData));
        imageBase_ = static_cast<int>(view_.Read32Or0(nt + kImageBase));
        sizeOfImage_ = static_cast<int>(view_.Read32Or0(nt + kSizeOfImage));

        importOffset_ = ToOffset(sectionMap_.Find(view_.Read32Or0(nt + kImportDirectory)).offset);
        if (importOffset_ != -1) WalkImports();
        exportOffset_ = ToOffset(sectionMap_.Find(view_.Read32Or0(nt + kExportDirectory)).offset);
        resourceOffset_ =
            ToOffset(sectionMap_.Find(view_.Read32Or0(nt + kResourceDirectory)).offset);
        return 1;
    } catch (const std::bad_alloc&) {
        ClearDerived();
        parsed_ = false;
        entryOffset_ = -1;
        return 0;
    }
}

int CPEHelper::Reset() {
    ntOffset_ = 0;
    dosOffset_ = 0;
    sectionCount_ = 0;
    sizeOfCode_ = 0;
    imageBase_ = 0;
    baseOfCode_ = 0;
    baseOfData_ = 0;
    sizeOfImage_ = 0;
    importOffset_ = 0;
    exportOffset_ = 0;
    parsed_ = false;
    resourceOffset_ = -1;
    return 1;
}

void CPEHelper::Destroy() {
    Reset();
    ClearDerived();
    view_ = ImageView();
    entryOffset_ = -1;
    entryRva_ = 0;
}

int CPEHelper::RvaToOffset(unsigned int rva, unsigned int limit, int* indexOut) {
    if (indexOut != nullptr) *indexOut = -1;
    const SectionHit hit = sectionMap_.Find(rva);
    if (hit.index < 0) return -1;
    if (indexOut != nullptr) *indexOut = hit.index;
    if (static_cast<uint64_t>(hit.offset) >= limit) return -1;
    return ToOffset(hit.offset);
}

int CPEHelper::GetEntrySectionIndex() {
    if (!parsed_) return 0;
    int index = -1;
    RvaToOffset(entryRva_, static_cast<unsigned int>(view_.size()), &index);
    return index;
}

const CPEHelper::DllEntry* CPEHelper::Dll(int list, int dll) const {
    if (list != 0 || dll < 0 || static_cast<size_t>(dll) >= imports_.size()) return nullptr;
    return &imports_[static_cast<size_t>(dll)];
}

int CPEHelper::GetImportDllCount(int list) {
    return list == 0 ? static_cast<int>(imports_.size()) : 0;
}

int CPEHelper::GetImportDllName(int list, int dll, char* nameOut) {
    const DllEntry* entry = Dll(list, dll);
    if (entry == nullptr || nameOut == nullptr) return 0;
    std::memcpy(nameOut, entry->name.c_str(), entry->name.size() + 1);
    return 1;
}

int CPEHelper::GetImportFuncCount(int list, int dll) {
    const DllEntry* entry = Dll(list, dll);
    return entry == nullptr ? 0 : static_cast<int>(entry->funcs.size());
}

const ImportFunc* CPEHelper::GetImportFunc(int list, int dll, int func) {
    const DllEntry* entry = Dll(list, dll);
    if (entry == nullptr || func < 0 || static_cast<size_t>(func) >= entry->funcs.size()) {
        return nullptr;
    }
    return &entry->funcs[static_cast<size_t>(func)];
}

int CPEHelper::GetTotalImportCount() {
    int total = 0;
    for (size_t i = 0; i < imports_.size(); ++i)
        total += GetImportFuncCount(0, static_cast<int>(i));
    return total;
}

const unsigned char* CPEHelper::GetResourceDirectory() {
    if (resourceOffset_ == -1) return nullptr;
    // The root's 16-byte header must be there; the conversion applied no limit.
    return view_.Span(static_cast<uint64_t>(resourceOffset_), 16);
}

const char* CPEHelper::FindPackerName() {
    return AnswerSearch(packers_.Find(view_, entryOffset_), gPackerResult);
}

const char* CPEHelper::FindCompilerName() {
    return AnswerSearch(compilers_.Find(view_, entryOffset_), gCompilerResult);
}

namespace {

void CopyMessage(const char* text, char* message, int messageSize) {
    if (message == nullptr || messageSize <= 0) return;
    const size_t room = static_cast<size_t>(messageSize) - 1;
    const size_t length = std::min(std::strlen(text), room);
    std::memcpy(message, text, length);
    message[length] = '\0';
}

}  // namespace

int CPEHelper::AddPackerRows(const std::function<bool(SignatureDatabaseParser&)>& source,
                             const std::string* why, char* message, int messageSize) {
    try {
        SignatureLoadReport report;
        if (!packers_.AddUserRows(source, &report)) {
            CopyMessage(why->c_str(), message, messageSize);
            return -1;
        }
        CopyMessage(report.Summary().c_str(), message, messageSize);
        return static_cast<int>(report.added);
    } catch (const std::bad_alloc&) {
        CopyMessage("not enough memory to load the signatures; none added", message, messageSize);
        return -1;
    }
}

int CPEHelper::LoadSignatures(const char* path, char* message, int messageSize) {
    return LoadSignaturesFrom(
        [path](const SignatureFeed& feed, std::string* why) {
            return ReadSignatureFile(path, feed, why);
        },
        message, messageSize);
}

int CPEHelper::LoadSignaturesFrom(const SignatureReader& read, char* message, int messageSize) {
    std::string why;
    return AddPackerRows(
        [&](SignatureDatabaseParser& parser) {
            return read([&](const char* data, size_t size) { parser.Feed(data, size); }, &why);
        },
        &why, message, messageSize);
}

int CPEHelper::LoadSignatureText(const char* text, size_t size, char* message, int messageSize) {
    return AddPackerRows(
        [&](SignatureDatabaseParser& parser) {
            if (text != nullptr) parser.Feed(text, size);
            return true;
        },
        nullptr, message, messageSize);
}

const char* CPEHelper::GetName(char* buffer, int size) {
    return AnswerComponentName(kPEHelperName, buffer, size);
}

void* CPEHelper::GetInterface(const char* name, int /*reserved*/) {
    if (!ComponentNameEquals(name, kPEHelperName)) return nullptr;
    return static_cast<IPEHelper*>(this);
}

CPEHelper& ThePEHelper() {
    static CPEHelper helper;
    return helper;
}
