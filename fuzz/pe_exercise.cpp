#include "pe_exercise.h"

#include <climits>
#include <cstring>

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
