#pragma once
// Run-key values are command lines; the autorun list wants the program they
// start.
#include <string>

// The executable path of `commandLine`, whose environment strings are already
// expanded: a quoted leading path without its quotes, else the text up to the
// end of the first word that names a program file (".exe", ".com", ".bat",
// ".cmd", ".pif", ".scr"), else the first blank-separated word. Leading blanks
// are skipped; an empty or blank command gives "".
std::string ExecutablePathOfCommand(const std::string& commandLine);
