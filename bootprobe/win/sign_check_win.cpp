#include "sign_check_win.h"

#include "certificate_probe.h"
#include "mapped_file_win.h"
#include "md5.h"

int CheckSignature(CTrustVerifier& verifier, const char* fileName, int* state) {
    int ignored = 0;
    int& answer = state != nullptr ? *state : ignored;
    answer = kSignUnread;
    if (fileName == nullptr) return 0;

    // The content digest that the verifier remembers and the structural test read
    // the same mapping; a file that cannot be mapped is neither trusted nor read.
    MappedFile file;
    if (!file.Open(fileName)) return 0;
    Md5Digest digest = {};
    CMD5Class().Digest(file.data(), digest.data(), static_cast<uint32_t>(file.size()));
    if (verifier.IsTrusted(fileName, digest)) {
        answer = kSignSigned;
        return 1;
    }

    answer = ProbeAttributeCertificate(file.data(), file.size());
    return answer == kSignSigned ? 1 : 0;
}
