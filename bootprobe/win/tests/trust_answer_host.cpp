// A host of BootProbe.dll whose "WinTrust.dll" is the stand-in trust library: a copy of it
// lies beside this program under that name, and the test starts the program with
// wintrust=n among Wine's DLL overrides.
//   bootprobe_trust_host ANSWER FILE
// makes WinVerifyTrust answer ANSWER, calls CheckSign on FILE and prints
// "<result> <state> <WinVerifyTrust calls>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "bootprobe_host.h"
#include "fake_trust.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const auto getLog = reinterpret_cast<FakeTrustLogFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("WinTrust.dll"), "GetFakeTrustLog")));
    if (getLog == nullptr) {
        std::puts("the system's trust library was loaded, not the stand-in");
        return 3;
    }
    getLog()->verifyAnswer = static_cast<LONG>(std::strtoul(argv[1], nullptr, 0));
    BootProbeHost host;
    if (!host.ready()) return 4;
    int state = -1;
    const int result = host.checkSign(argv[2], &state);
    std::printf("%d %d %d\n", result, state, getLog()->verifyCalls);
    return 0;
}
