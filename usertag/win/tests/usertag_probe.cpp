// A second host process for the tests: opens a list through UserTag.dll, adds the files
// named after it, and prints every entry as "digest|added|path".
//   usertag_probe LIST [FILE...]
// Exit status: 0 done, 1 a call failed, 2 the library could not be used.
#include <cstdio>

#include "usertag_host.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: usertag_probe LIST [FILE...]\n");
        return 2;
    }
    UserTagHost host;
    if (!host.error().empty()) {
        std::fprintf(stderr, "%s\n", host.error().c_str());
        return 2;
    }
    if (!host.Open(argv[1])) return 1;
    for (int i = 2; i < argc; ++i) {
        if (!host.AddFile(argv[i])) return 1;
    }
    for (const ListedEntry& entry : host.Entries()) {
        std::printf("%s|%s|%s\n", entry.digest.c_str(), entry.added.c_str(), entry.path.c_str());
    }
    return 0;
}
