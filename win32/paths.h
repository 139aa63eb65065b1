#pragma once
// Where things are: a library's or program's own file and folder, and the suite's install
// layout (Roster.ini under the common program files folder, with its "Install Path" keys).
#include <windows.h>

#include <string>

namespace kvwin {

// The module this code is linked into: the library or program that calls it.
HMODULE ThisModule();

// The full path of `module` (nullptr: the program), however long; "" when it cannot be
// had.
std::string ModulePath(HMODULE module);
// The folder of `module` with its trailing backslash; "" when unknown.
std::string ModuleFolder(HMODULE module);

// `path` up to and with its last backslash ("" when it has none); a backslash that is the
// second byte of a double-byte character is not a separator.
std::string FolderOf(const std::string& path);
// The text of `path` after its last backslash (the whole path when there is none), by the
// same rule.
std::string FileNameOf(const std::string& path);

// The suite's install layout.
constexpr char kSuiteBaseFolder[] = "Kavro Labs\\Base";
constexpr char kRosterFileName[] = "Roster.ini";
constexpr char kInstallPathKey[] = "Install Path";
// Install paths are read into buffers of this many bytes, as the suite writes them.
constexpr DWORD kInstallPathSize = 260;

// The common program files folder without a trailing backslash, made when missing; ""
// when the shell cannot name it.
std::string CommonFilesFolder();
// "<common program files>\Kavro Labs\Base\Roster.ini"; "" when the common program files
// folder cannot be had.
std::string RosterPath();
// The "Install Path" value of `section` in the roster file at `roster`, or `fallback`.
std::string InstallPath(const std::string& roster, const char* section, const char* fallback = "");

}  // namespace kvwin
