#include "host_search.h"

#include <cstring>
#include <string_view>

namespace {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

std::string WithoutTrailingSeparators(std::string text) {
    while (!text.empty() && (text.back() == '/' || text.back() == '\\')) text.pop_back();
    return text;
}

// Appends as much of `text` as fits before the terminating zero of a buffer of
// `length` bytes that already holds `*used` characters.
void AppendCut(char* buffer, size_t length, size_t* used, std::string_view text) {
    const size_t room = *used + 1 < length ? length - 1 - *used : 0;
    const size_t take = text.size() < room ? text.size() : room;
    std::memcpy(buffer + *used, text.data(), take);
    *used += take;
    buffer[*used] = '\0';
}

// The boot.ini pass for one drive: the text of its "default=" line, prefixed with the
// drive when the buffer has room for more than the prefix.
bool TryBootIni(HostFileSystem& fs, char drive, char* buffer, size_t length) {
    const std::string path = std::string(1, drive) + ":\\boot.ini";
    if (!fs.IsFile(path)) return false;
    const std::unique_ptr<ByteSource> file = fs.OpenRead(path);
    if (!file) return false;
    const std::optional<std::string> windows = ReadBootDefaultPath(*file);
    if (!windows) return false;
    size_t used = 0;
    if (length > 2) AppendCut(buffer, length, &used, std::string{drive, ':'});
    AppendCut(buffer, length, &used, *windows);
    return true;
}

}  // namespace

char LastDriveOf(const std::string& systemDirectory) {
    if (systemDirectory.empty()) return 0;
    const char first = AsciiUpper(systemDirectory[0]);
    return first >= 'A' && first <= 'Z' ? first : 0;
}

bool SearchForFile(HostFileSystem& fs, const std::string& directory, int level,
                   const std::string& wanted, std::string* found) {
    const std::string base = WithoutTrailingSeparators(directory);
    bool hit = false;
    fs.List(base + "/*.*", [&](const DirectoryEntry& entry) {
        if (entry.name == "." || entry.name == "..") return true;
        if (entry.directory) {
            // A directory never matches, whatever its name; a loop of links ends at
            // the deepest level like any other chain of directories.
            if (level < kDeepestSearchLevel) {
                hit = SearchForFile(fs, base + "/" + entry.name, level + 1, wanted, found);
            }
            return !hit;
        }
        if (!EqualsIgnoringCase(entry.name, wanted)) return true;
        *found = directory;
        hit = true;
        return false;
    });
    return hit;
}

int FindHostDirectory(HostFileSystem& fs, char* buffer, int length) {
    if (buffer == nullptr || length < 1) return 0;
    const size_t size = static_cast<size_t>(length);
    std::memset(buffer, 0, size);

    std::string systemDirectory;
    if (!fs.SystemDirectory(&systemDirectory)) return 0;
    const char lastDrive = LastDriveOf(systemDirectory);
    if (lastDrive == 0) return 0;

    for (char drive = 'C'; drive <= lastDrive; ++drive) {
        if (TryBootIni(fs, drive, buffer, size)) return 1;
    }
    for (char drive = 'C'; drive <= lastDrive; ++drive) {
        std::string found;
        if (SearchForFile(fs, std::string(1, drive) + ":\\", 0, "win.ini", &found)) {
            size_t used = 0;
            AppendCut(buffer, size, &used, found);
            return 1;
        }
    }
    return 0;
}
