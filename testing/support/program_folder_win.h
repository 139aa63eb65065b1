#pragma once
// Where this test program lies: the build puts every DLL, driver and helper program of
// the tree beside it.
#include <string>

namespace kvtest {

// The full path of this program.
std::string ProgramPath();
// Its folder, without a trailing separator.
std::string ProgramFolder();
// "<ProgramFolder()>\<name>".
std::string BesideProgram(const std::string& name);

}  // namespace kvtest
