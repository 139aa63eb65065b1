// The driver tests' fixture: "install" puts the filter-driver double and the IP filter
// stand-in into the prefix, "remove" takes both services and files away again.
#include <cstdio>
#include <cstring>

#include "kavrofw_client.h"
#include "program_folder_win.h"

int main(int argc, char** argv) {
    std::string error;
    bool ok = false;
    if (argc == 2 && std::strcmp(argv[1], "install") == 0) {
        ok = kavrofw::Install(kvtest::ProgramFolder(), &error);
    } else if (argc == 2 && std::strcmp(argv[1], "remove") == 0) {
        ok = kavrofw::Remove(&error);
    } else {
        std::fprintf(stderr, "usage: kavrofw_setup install|remove\n");
        return 2;
    }
    if (!ok) std::fprintf(stderr, "kavrofw_setup %s: %s\n", argv[1], error.c_str());
    return ok ? 0 : 1;
}
