#include "profile_reader_win.h"

#include <windows.h>

unsigned CPrivateProfileReader::ReadString(const char* section, const char* key, char* buffer,
                                           unsigned size, const char* path) {
    // A missing file, section or key leaves the empty default.
    return GetPrivateProfileStringA(section, key, "", buffer, size, path);
}
