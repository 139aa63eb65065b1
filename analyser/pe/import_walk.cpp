// The import walk of Parse: descriptors, their lookup tables and hint/name entries.
// Pieces whose RVAs fall outside every section, beyond SizeOfImage or outside the file
// are skipped; the rest of the table is still used.
#include <cstring>

#include "pe_helper.h"

namespace {

constexpr uint64_t kDescriptorSize = 20;
constexpr uint32_t kOrdinalFlag = 0x80000000u;

}  // namespace

bool CPEHelper::ReadName(uint64_t offset, std::string* out) const {
    if (!view_.Has(offset, 0)) return false;
    const uint64_t available = view_.size() - offset;
    const uint64_t window =
        available < kMaxImportNameLength + 1u ? available : kMaxImportNameLength + 1u;
    const char* text = reinterpret_cast<const char*>(view_.data() + offset);
    const void* end = std::memchr(text, 0, static_cast<size_t>(window));
    if (end != nullptr) {
        out->assign(text, static_cast<const char*>(end));
        return true;
    }
    // A name that the file goes on with is cut; one that the file ends inside is absent.
    if (available > kMaxImportNameLength) {
        out->assign(text, kMaxImportNameLength);
        return true;
    }
    return false;
}

void CPEHelper::WalkImports() {
    const uint64_t sizeOfImage = static_cast<uint32_t>(sizeOfImage_);
    auto convert = [&](uint32_t rva) -> int64_t {
        const int64_t offset = sectionMap_.Find(rva).offset;
        if (offset < 0 || static_cast<uint64_t>(offset) > sizeOfImage) return -1;
        return view_.Contains(offset) ? offset : -1;
    };

    // Function names go into one arena; the records point into it once it stops growing.
    nameArena_.assign(1, '\0');
    std::vector<std::vector<size_t>> nameAt;
    int thunks = 0;
    for (uint64_t d = static_cast<uint64_t>(importOffset_);
         view_.Has(d, kDescriptorSize) && imports_.size() < static_cast<size_t>(kMaxImportDlls) &&
         thunks < kMaxImportThunks;
         d += kDescriptorSize) {
        const uint32_t originalFirstThunk = view_.Read32Or0(d);
        const uint32_t nameRva = view_.Read32Or0(d + 12);
        const uint32_t firstThunk = view_.Read32Or0(d + 16);
        if (firstThunk == 0) break;

        const int64_t nameOffset = convert(nameRva);
        if (nameOffset < 0) continue;
        const int64_t lookup = convert(originalFirstThunk);
        if (lookup < 0) continue;
        DllEntry entry;
        if (!ReadName(static_cast<uint64_t>(nameOffset), &entry.name)) continue;

        std::vector<size_t> at;
        for (uint64_t t = static_cast<uint64_t>(lookup);
             view_.Has(t, 4) && thunks < kMaxImportThunks; t += 4) {
            ++thunks;
            const uint32_t thunk = view_.Read32Or0(t);
            if (thunk == 0) break;
            ImportFunc func{0, 0, nullptr};
            if ((thunk & kOrdinalFlag) != 0) {
                func.hintOrOrdinal = thunk & 0xFFFFFFu;
                entry.funcs.push_back(func);
                at.push_back(0);
                continue;
            }
            const int64_t hintName = convert(thunk);
            uint16_t hint = 0;
            std::string name;
            if (hintName < 0 || !view_.Read16(static_cast<uint64_t>(hintName), &hint) ||
                !ReadName(static_cast<uint64_t>(hintName) + 2, &name)) {
                continue;
            }
            func.nameOffset = static_cast<int>(hintName);
            func.hintOrOrdinal = hint;
            entry.funcs.push_back(func);
            at.push_back(nameArena_.size());
            nameArena_.append(name);
            nameArena_.push_back('\0');
        }
        imports_.push_back(std::move(entry));
        nameAt.push_back(std::move(at));
    }

    for (size_t i = 0; i < imports_.size(); ++i) {
        for (size_t j = 0; j < imports_[i].funcs.size(); ++j) {
            imports_[i].funcs[j].name = nameArena_.c_str() + nameAt[i][j];
        }
    }
}
