// Test helper: holds loopback ports open until it is terminated.
//
//   port_holder.exe EVENT REPORT REQUEST...
//
// REQUEST is tcp:PORT or udp:PORT (PORT 0 lets the system choose). Every socket is bound
// to 127.0.0.1; TCP sockets listen. When all are open the bound ports are written to
// the file REPORT, one "tcp 1234" line each, and the named event EVENT is set. Exit
// code 2 means a bad argument, 3 a socket that could not be opened (the report then
// names it).
#include <windows.h>
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Opened {
    const char* protocol;
    unsigned port;
};

bool OpenOne(const char* request, std::vector<Opened>* opened) {
    const bool tcp = strncmp(request, "tcp:", 4) == 0;
    if (!tcp && strncmp(request, "udp:", 4) != 0) return false;
    const unsigned long port = strtoul(request + 4, nullptr, 10);
    if (port > 65535) return false;

    SOCKET s = socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, tcp ? IPPROTO_TCP : IPPROTO_UDP);
    if (s == INVALID_SOCKET) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return false;
    if (tcp && listen(s, 1) != 0) return false;
    // The system names a socket's owner by the processes that hold its descriptor; some
    // (Wine) hand the descriptor to the process only when it first reads. A read that
    // finds nothing to read makes the owner known and changes nothing else.
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    char none;
    recv(s, &none, 1, 0);
    int length = sizeof(address);
    if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    // The socket stays open until the process ends.
    opened->push_back({tcp ? "tcp" : "udp", ntohs(address.sin_port)});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 3;

    std::vector<Opened> opened;
    int result = 0;
    for (int i = 3; i < argc && result == 0; ++i) {
        if (!OpenOne(argv[i], &opened)) result = 3;
    }

    FILE* report = fopen(argv[2], "w");
    if (report == nullptr) return 2;
    for (const Opened& entry : opened) fprintf(report, "%s %u\n", entry.protocol, entry.port);
    if (result != 0)
        fprintf(report, "failed %s error %d\n", argv[opened.size() + 3], WSAGetLastError());
    fclose(report);
    if (result != 0) return result;

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (ready == nullptr) return 2;
    SetEvent(ready);
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
