#include "program_folder_win.h"

#include <windows.h>

namespace kvtest {

std::string ProgramPath() {
    char path[MAX_PATH] = {};
    return std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
}

std::string ProgramFolder() {
    const std::string path = ProgramPath();
    return path.substr(0, path.find_last_of('\\'));
}

std::string BesideProgram(const std::string& name) {
    return ProgramFolder() + "\\" + name;
}

}  // namespace kvtest
