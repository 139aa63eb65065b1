#pragma once
// The image reader: one process-wide object that the image features share under a
// parse, ask, reset discipline. It reads an image that lies in the caller's memory and
// never copies or owns it. Images are hostile input: every read goes through ImageView,
// every count read from the file is clamped to what the image can hold.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "component.h"
#include "image_view.h"
#include "pe_helper_interface.h"
#include "section_map.h"
#include "signatures.h"

// Walks of the import table end after this many DLL entries or thunks in all: a crafted
// table can point every descriptor at the same long thunk array.
constexpr int kMaxImportDlls = 4096;
constexpr int kMaxImportThunks = 65536;
// EnumResources visits at most this many name entries in one call, for the same reason.
constexpr int kMaxResourceEntries = 65536;
// A printable run longer than a 16-bit length can say is kept up to this length.
constexpr int kMaxStringLength = 0xFFFF;

class CPEHelper final : public IPEHelper, public IComponent {
public:
    CPEHelper();
    ~CPEHelper() = default;
    CPEHelper(const CPEHelper&) = delete;
    CPEHelper& operator=(const CPEHelper&) = delete;

    // IPEHelper
    int Parse(const unsigned char* image, int size) override;
    int GetDosHeaderOffset() override { return dosOffset_; }
    int GetNtHeaderOffset() override { return ntOffset_; }
    int GetEntryOffset() override { return static_cast<int>(entryOffset_); }
    int GetSectionCount() override { return sectionCount_; }
    int GetSizeOfCode() override { return sizeOfCode_; }
    int GetBaseOfCode() override { return baseOfCode_; }
    int GetBaseOfData() override { return baseOfData_; }
    int GetSizeOfImage() override { return sizeOfImage_; }
    int GetImportOffset() override { return importOffset_; }
    int GetExportOffset() override { return exportOffset_; }
    int GetImportDllCount(int list) override;
    int GetImportDllName(int list, int dll, char* nameOut) override;
    int GetImportFuncCount(int list, int dll) override;
    const ImportFunc* GetImportFunc(int list, int dll, int func) override;
    int Reset() override;
    const unsigned char* GetResourceDirectory() override;
    int GetResourceOffset() override { return resourceOffset_; }
    int EnumResources(const char* typeName, PEResourceCallback callback, void* user) override;
    int GetTotalImportCount() override;
    const char* FindPackerName() override;
    const char* FindCompilerName() override;
    int EnumStrings(int minLen, PEStringCallback callback, void* user) override;
    int CountEmbeddedImages() override;
    int GetEntrySectionIndex() override;
    void Destroy() override;
    int RvaToOffset(unsigned int rva, unsigned int limit, int* indexOut) override;

    // IComponent
    const char* GetName(char* buffer, int size) override;
    void* GetInterface(const char* name, int reserved) override;

    // Appends the entry-point signatures of an analyst's database file to the packer
    // rows, after every built-in row. Returns the number of rows added, or -1 when the
    // file cannot be read or memory runs out (the rows are unchanged then). `message`,
    // when given, receives one line saying what was added and skipped, or why nothing
    // was, cut to `messageSize` bytes with its NUL.
    int LoadSignatures(const char* path, char* message, int messageSize);
    // The same with the database read by `read`, which passes the text to `feed` in pieces
    // and answers false, with the reason for the message in `why`, when it cannot read it
    // all.
    using SignatureFeed = std::function<void(const char*, size_t)>;
    using SignatureReader = std::function<bool(const SignatureFeed& feed, std::string* why)>;
    int LoadSignaturesFrom(const SignatureReader& read, char* message, int messageSize);
    // The same with the database's text in memory.
    int LoadSignatureText(const char* text, size_t size, char* message, int messageSize);

    const SignatureSet& packers() const { return packers_; }
    const SignatureSet& compilers() const { return compilers_; }
    const std::vector<SectionEntry>& sections() const { return sectionMap_.sections(); }

private:
    struct DllEntry {
        std::string name;
        std::vector<ImportFunc> funcs;
    };

    // Offsets the image can hold fit an int; anything wider is no offset of it.
    static int ToOffset(int64_t offset);
    void ClearDerived();
    void WalkImports();
    bool ReadName(uint64_t offset, std::string* out) const;
    void BuildStringList(int minLen);
    const DllEntry* Dll(int list, int dll) const;
    int AddPackerRows(const std::function<bool(SignatureDatabaseParser&)>& source,
                      const std::string* why, char* message, int messageSize);

    ImageView view_;
    bool parsed_ = false;
    int ntOffset_ = 0;
    int dosOffset_ = 0;
    // Absent (-1) after a failed Parse, so that the signature searches find nothing
    // rather than looking at the previous image's entry point in the new bytes.
    int64_t entryOffset_ = -1;
    uint32_t entryRva_ = 0;
    int sectionCount_ = 0;
    int sizeOfCode_ = 0;
    int baseOfCode_ = 0;
    int baseOfData_ = 0;
    int imageBase_ = 0;
    int sizeOfImage_ = 0;
    int importOffset_ = 0;
    int exportOffset_ = 0;
    int resourceOffset_ = -1;

    SectionMap sectionMap_;
    std::vector<DllEntry> imports_;
    std::string nameArena_;  // function names of the import list, NUL-separated
    std::vector<PEString> strings_;
    std::vector<char> stringArena_;

    SignatureSet packers_;
    SignatureSet compilers_;
};

// The process-wide reader, built on first use.
CPEHelper& ThePEHelper();
