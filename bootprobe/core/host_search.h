#pragma once
// Finding the Windows directory of the machine's installed system when the running
// system is another one (a boot medium): the "default=" line of a boot.ini in a
// drive's root, else the directory of a win.ini near the top of a drive. Drives run
// from C: up to the drive of the running system's directory.
#include <functional>
#include <memory>
#include <string>

#include "boot_ini.h"

struct DirectoryEntry {
    std::string name;
    bool directory = false;
};

// What the host check needs of the file system, with paths as Win32 takes them.
class HostFileSystem {
public:
    virtual ~HostFileSystem() = default;
    // The running system's directory (C:\WINDOWS\system32 and the like); false when
    // it cannot be read.
    virtual bool SystemDirectory(std::string* out) = 0;
    // True when `path` exists and is not a directory.
    virtual bool IsFile(const std::string& path) = 0;
    // The file's bytes; null when it cannot be opened.
    virtual std::unique_ptr<ByteSource> OpenRead(const std::string& path) = 0;
    // Calls `visit` for each entry that matches `pattern` (a directory followed by
    // "/*.*"), in enumeration order, until `visit` returns false. False when the
    // directory cannot be listed.
    using Visit = std::function<bool(const DirectoryEntry&)>;
    virtual bool List(const std::string& pattern, const Visit& visit) = 0;
};

// The drive root is level 0; directories down to this level are searched (C:\a\b).
constexpr int kDeepestSearchLevel = 2;

// The last drive examined: the system directory's first character in upper case, or 0
// when that is not a letter.
char LastDriveOf(const std::string& systemDirectory);

// Depth-first search of `directory` (at `level`) for a file named `wanted`, ignoring
// case, in enumeration order; the first hit wins. On a hit, `found` receives the
// directory text of the search that listed it: the drive root as given ("C:\"), a
// directory below it with "/" separators ("C:/WINDOWS").
bool SearchForFile(HostFileSystem& fs, const std::string& directory, int level,
                   const std::string& wanted, std::string* found);

// The whole check: clears `length` bytes of `buffer`, writes the directory found as a
// NUL-terminated text cut to the buffer and returns 1; 0 when nothing was found. A
// null buffer or a length below 1 returns 0 without writing.
int FindHostDirectory(HostFileSystem& fs, char* buffer, int length);
