/* A program that stays up for a while and then exits 7, so that an exit code of 0 proves
   that someone terminated it. An argument gives the stay in milliseconds. */
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
    Sleep(argc > 1 ? (DWORD)strtoul(argv[1], NULL, 10) : 60000);
    return 7;
}
