#include "with_bad_api.h"

#include <set>
#include <string>

#include "image_frame.h"

namespace {

constexpr const char* kListedFunctions[] = {
    "GetProcAddress",
    "WNetAddConnection2A",
    "OpenServiceA",
    "AdjustTokenPrivileges",
    "ClearEventLogA",
    "Sleep",
    "OpenProcessToken",
    "RegCloseKey",
    "TerminateProcess",
    "recv",
    "send",
    "CreateProcessA",
    "CreateThread",
    "GetComputerNameW",
};
static_assert(sizeof(kListedFunctions) / sizeof(kListedFunctions[0]) == 14, "the listed 14");

// The ordinary import table; the reader's other list is always empty.
constexpr int kImportList = 0;

}  // namespace

int CWithBadAPI::Analyse(IVirusCaptorDataProvidor* record) {
    return AskImage(record, reader_, [](const ImageSubject& image) {
        IPEHelper& reader = image.reader;
        const int dlls = reader.GetImportDllCount(kImportList);
        if (dlls == 0) return 0;
        std::set<std::string> imported;
        for (int i = 0; i < dlls; ++i) {
            const int functions = reader.GetImportFuncCount(kImportList, i);
            for (int j = 0; j < functions; ++j) {
                const ImportFunc* function = reader.GetImportFunc(kImportList, i, j);
                // An ordinal import has an empty name and matches nothing.
                if (function != nullptr && function->name != nullptr) {
                    imported.insert(function->name);
                }
            }
        }
        for (const char* listed : kListedFunctions) {
            if (imported.count(listed) != 0) return 1;
        }
        return 0;
    });
}
