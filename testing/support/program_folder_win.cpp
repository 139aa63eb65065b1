#include "program_folder_win.h"

#include "win32/paths.h"

namespace kvtest {

std::string ProgramPath() {
    return kvwin::ModulePath(nullptr);
}

std::string ProgramFolder() {
    std::string folder = kvwin::FolderOf(ProgramPath());
    if (!folder.empty()) folder.pop_back();
    return folder;
}

std::string BesideProgram(const std::string& name) {
    return ProgramFolder() + "\\" + name;
}

}  // namespace kvtest
