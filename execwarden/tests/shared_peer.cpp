// A second process for the shared-page test: maps ExecWarden.dll, reads what the parent
// left in the page and answers in it.
#include <windows.h>

#include <string>

#include "shared_page.h"

int main() {
    char path[MAX_PATH];
    std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    HMODULE library =
        LoadLibraryA((self.substr(0, self.rfind('\\') + 1) + "ExecWarden.dll").c_str());
    SharedSection* shared = FindSharedSection(library);
    if (shared == nullptr) return 2;
    std::string reply =
        "seen: " + std::string(shared->parameters) + " " + std::to_string(Peek(shared->inEvent));
    CopyHookString(shared->directory, reply.c_str());
    FreeLibrary(library);
    return 0;
}
