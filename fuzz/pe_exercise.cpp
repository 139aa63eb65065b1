#include "pe_exercise.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pe_helper.h"

namespace {

const char* const kTypes[] = {
    "RT_CURSOR",       "RT_BITMAP",       "RT_ICON",       "RT_MENU",        "RT_DIALOG",
    "RT_STRING",       "RT_FONTDIR",      "RT_FONT",       "RT_ACCELERATOR", "RT_RCDATA",
    "RT_MESSAGETABLE", "RT_GROUP_CURSOR", "RT_GROUP_ICON", "RT_VERSION",     "RT_DLGINCLUDE",
    "RT_PLUGPLAY",     "RT_VXD",          "RT_ANICURSOR",  "RT_ANIICON",     "RT_HTML",
    "RT_NOSUCH"};

// Touches every byte handed over so that the sanitizers see a read past the end.
int SumResource(const unsigned char* data, int size, void* user) {
    uint64_t* sum = static_cast<uint64_t*>(user);
    for (int i = 0; i < size; ++i) *sum += data[i];
    return 0;
}

int SumString(const PEString* record, void* user) {
    uint64_t* sum = static_cast<uint64_t*>(user);
    *sum += record->length + std::strlen(record->text);
    return 1;
}

uint64_t SumText(const char* text) {
    uint64_t sum = 0;
    if (text != nullptr) {
        for (; *text != '\0'; ++text) sum += static_cast<unsigned char>(*text);
    }
    return sum;
}

}  // namespace

uint64_t ExercisePEHelper(CPEHelper& helper, const uint8_t* data, size_t size) {
    const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    uint64_t sum = 0;
    // Getter results are added one by one: their sum may not fit an int.
    auto add = [&sum](int64_t value) { sum += static_cast<uint64_t>(value); };
    add(helper.Parse(data, length));
    add(helper.GetDosHeaderOffset());
    add(helper.GetNtHeaderOffset());
    add(helper.GetEntryOffset());
    add(helper.GetSectionCount());
    add(helper.GetSizeOfCode());
    add(helper.GetBaseOfCode());
    add(helper.GetBaseOfData());
    add(helper.GetSizeOfImage());
    add(helper.GetImportOffset());
    add(helper.GetExportOffset());
    add(helper.GetResourceOffset());

    char name[kMaxImportNameLength + 1];
    for (int list = 0; list < 2; ++list) {
        const int dlls = helper.GetImportDllCount(list);
        for (int i = -1; i <= dlls; ++i) {
            if (helper.GetImportDllName(list, i, name)) sum += SumText(name);
            const int funcs = helper.GetImportFuncCount(list, i);
            for (int j = -1; j <= funcs; ++j) {
                const ImportFunc* func = helper.GetImportFunc(list, i, j);
                if (func != nullptr) sum += func->hintOrOrdinal + SumText(func->name);
            }
        }
    }
    add(helper.GetTotalImportCount());

    if (const unsigned char* root = helper.GetResourceDirectory()) sum += root[0] + root[15];
    for (const char* type : kTypes) add(helper.EnumResources(type, SumResource, &sum));

    sum += SumText(helper.FindPackerName()) + SumText(helper.FindCompilerName());
    add(helper.EnumStrings(4, SumString, &sum));
    add(helper.CountEmbeddedImages());
    add(helper.GetEntrySectionIndex());
    int index = 0;
    add(helper.RvaToOffset(static_cast<unsigned int>(helper.GetBaseOfCode()), kNoOffsetLimit,
                           &index));
    add(index);

    // Reset keeps the entry offset and lists; the queries must stay inside the image.
    helper.Reset();
    sum += SumText(helper.FindPackerName());
    add(helper.GetEntrySectionIndex());
    add(helper.EnumResources("RT_ICON", SumResource, &sum));
    return sum;
}

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "signature input: %s\n", what);
    std::abort();
}

bool Load(SignatureSet& set, const char* text, size_t size, size_t piece,
          SignatureLoadReport* report) {
    return set.AddUserRows(
        [&](SignatureDatabaseParser& parser) {
            for (size_t at = 0; at < size; at += piece) {
                parser.Feed(text + at, std::min(piece, size - at));
            }
            return true;
        },
        report);
}

}  // namespace

void LoadSignatureTextChecked(const char* text, size_t size, SignatureSet* whole) {
    // Whole and in pieces: the same rows and the same counts.
    SignatureSet pieces("", "");
    SignatureLoadReport wholeReport, piecesReport, againReport;
    Load(*whole, text, size, size + 1, &wholeReport);
    Load(pieces, text, size, 1 + size % 13, &piecesReport);
    Check(wholeReport.Summary() == piecesReport.Summary(), "pieces change the counts");
    Check(whole->user().size() == wholeReport.added, "rows held differ from rows added");
    Check(wholeReport.added + wholeReport.SkippedTotal() == wholeReport.blocks,
          "blocks not all counted");
    // Loaded again, every row is a duplicate.
    Load(*whole, text, size, size + 1, &againReport);
    Check(againReport.added == 0 && whole->user().size() == wholeReport.added,
          "a second load added rows");
}

namespace {

uint64_t ExerciseSignatureInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* end = text + size;
    const char* separator =
        std::search(text, end, kSignatureImageSeparator,
                    kSignatureImageSeparator + sizeof(kSignatureImageSeparator) - 1);
    const size_t textSize = static_cast<size_t>(separator - text);
    const char* imageStart =
        separator == end ? end : separator + sizeof(kSignatureImageSeparator) - 1;
    // An exact-size heap copy of each part puts its end on a redzone for ASan.
    const std::vector<char> database(text, text + textSize);
    const std::vector<uint8_t> image(imageStart, end);

    SignatureSet whole("", "");
    LoadSignatureTextChecked(database.data(), database.size(), &whole);

    // The reader with the database behind its built-in rows, and the image.
    CPEHelper helper;
    char message[96];
    const int added =
        helper.LoadSignatureText(database.data(), database.size(), message, sizeof(message));
    Check(added >= 0 && std::strlen(message) < sizeof(message), "text load failed");
    uint64_t sum = ExercisePEHelper(helper, image.data(), image.size());

    // The indexed search against the plain walk, at the entry point and at the start.
    for (int64_t entry : {static_cast<int64_t>(helper.GetEntryOffset()), int64_t{0}}) {
        const ImageView view(image.data(), image.size());
        const char* indexed = whole.Find(view, entry);
        const char* plain = PlainUserSearch(whole.user(), image.data(), image.size(), entry);
        Check(indexed == plain, "the index and the plain walk disagree");
        sum += indexed != nullptr ? SumText(indexed) : 0;
    }
    return sum;
}

}  // namespace

uint64_t ExerciseFuzzInput(const uint8_t* data, size_t size) {
    const size_t marker = sizeof(kSignatureInputMarker) - 1;
    if (size >= marker && std::memcmp(data, kSignatureInputMarker, marker) == 0) {
        return ExerciseSignatureInput(data + marker, size - marker);
    }
    // An exact-size heap copy puts the end of the input on a redzone for ASan.
    std::vector<uint8_t> image(data, data + size);
    static CPEHelper helper;
    return ExercisePEHelper(helper, image.data(), image.size());
}

const char* PlainUserSearch(const UserSignatures& rows, const uint8_t* image, size_t size,
                            int64_t entry) {
    if (entry < 0 || static_cast<uint64_t>(entry) >= size) return nullptr;
    const uint8_t* code = image + entry;
    const uint64_t available = size - static_cast<uint64_t>(entry);
    for (uint32_t row = 0; row < rows.size(); ++row) {
        bool match = true;
        for (size_t i = 0; match && i < rows.Count(row); ++i) {
            const uint64_t at = rows.Positions(row)[i] - 1u;
            match = at < available && code[at] == rows.Bytes(row)[i];
        }
        if (match) return rows.Name(row);
    }
    return nullptr;
}
