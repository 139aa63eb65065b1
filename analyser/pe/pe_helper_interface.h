#pragma once
// The image reader's interface, shared by the image features and the signature check.
// Slot order is an ABI between our own binaries: never reorder, never insert. Slot 25
// stands where the destructor was; it is an ordinary virtual so that every compiler
// gives it exactly one slot and RvaToOffset stays at 26.

// One imported function of a DLL entry of the import list.
struct ImportFunc {
    int nameOffset;              // file offset of the hint/name entry; 0 for an ordinal
    unsigned int hintOrOrdinal;  // 16-bit hint of a name import, low 24 bits of an ordinal
    const char* name;            // never null; empty for an ordinal import
};
static_assert(sizeof(ImportFunc) == 8 + sizeof(void*), "ImportFunc is three plain fields");

// One printable run found by EnumStrings.
struct PEString {
    const char* text;       // NUL-terminated copy
    unsigned short length;  // length of `text`
};

// EnumResources hands each resource's bytes over; a non-zero answer stops the walk.
typedef int (*PEResourceCallback)(const unsigned char* data, int size, void* user);
// EnumStrings hands each string over; a zero answer stops the walk.
typedef int (*PEStringCallback)(const PEString* record, void* user);

// Import names longer than this are cut; a GetImportDllName buffer needs one byte more.
constexpr int kMaxImportNameLength = 255;
// RvaToOffset's `limit` that lets every offset through.
constexpr unsigned int kNoOffsetLimit = 0xFFFFFFFFu;
// Size of each of the two result buffers of the signature searches.
constexpr int kSignatureResultSize = 1024;

class IPEHelper {
public:
    // Slot 0. 1 when `image` holds a PE image; the bytes stay the caller's and must stay
    // valid and unchanged until Reset.
    virtual int Parse(const unsigned char* image, int size) = 0;
    // Slot 1. Always 0.
    virtual int GetDosHeaderOffset() = 0;
    // Slot 2. e_lfanew.
    virtual int GetNtHeaderOffset() = 0;
    // Slot 3. File offset of the entry point, or its raw RVA when no section holds it;
    // -1 after a Parse that failed.
    virtual int GetEntryOffset() = 0;
    // Slots 4 to 8: header values of the parsed image.
    virtual int GetSectionCount() = 0;
    virtual int GetSizeOfCode() = 0;
    virtual int GetBaseOfCode() = 0;
    virtual int GetBaseOfData() = 0;
    virtual int GetSizeOfImage() = 0;
    // Slots 9 and 10. File offsets of the import and export directories, or -1.
    virtual int GetImportOffset() = 0;
    virtual int GetExportOffset() = 0;
    // Slots 11 to 14. `list` 0 is the import list; any other value names a second list
    // that is always empty. `nameOut` must hold kMaxImportNameLength + 1 bytes.
    virtual int GetImportDllCount(int list) = 0;
    virtual int GetImportDllName(int list, int dll, char* nameOut) = 0;
    virtual int GetImportFuncCount(int list, int dll) = 0;
    virtual const ImportFunc* GetImportFunc(int list, int dll, int func) = 0;
    // Slot 15. Clears the header values (not the entry offset, sections or lists); 1.
    virtual int Reset() = 0;
    // Slot 16. The root resource directory inside the image, or null.
    virtual const unsigned char* GetResourceDirectory() = 0;
    // Slot 17. File offset of the resource directory, or -1.
    virtual int GetResourceOffset() = 0;
    // Slot 18. Hands every resource of the predefined type called `typeName` ("RT_ICON",
    // ...) to `callback`; 0 when there is no directory, the name is unknown or the root
    // runs past the image.
    virtual int EnumResources(const char* typeName, PEResourceCallback callback, void* user) = 0;
    // Slot 19. Number of functions over all DLLs of the import list.
    virtual int GetTotalImportCount() = 0;
    // Slots 20 and 21. Name of the first packer (compiler) signature matching at the
    // entry point, in a result buffer that the next call of the same search overwrites;
    // null when none matches.
    virtual const char* FindPackerName() = 0;
    virtual const char* FindCompilerName() = 0;
    // Slot 22. Hands every printable run of at least `minLen` bytes to `callback`. The
    // runs are collected once per image. 0 when minLen < 1 or memory runs out.
    virtual int EnumStrings(int minLen, PEStringCallback callback, void* user) = 0;
    // Slot 23. Number of "MZ" headers with a valid "PE" signature, the image's own included.
    virtual int CountEmbeddedImages() = 0;
    // Slot 24. Index of the section holding the entry point, -1 when none, 0 when the
    // reader holds no parsed image.
    virtual int GetEntrySectionIndex() = 0;
    // Slot 25. Forgets the image and drops the lists; the signature tables stay.
    virtual void Destroy() = 0;
    // Slot 26. File offset of `rva` when a section holds it and the offset is below
    // `limit`, else -1; `indexOut`, when given, receives the section index (even when
    // the limit refuses the offset) or -1.
    virtual int RvaToOffset(unsigned int rva, unsigned int limit, int* indexOut) = 0;

protected:
    // Nobody deletes the reader through the interface: it is a process-wide object.
    ~IPEHelper() = default;
};

// Component name under which the reader answers IComponent::GetInterface.
constexpr const char kPEHelperName[] = "IPEHelper";
