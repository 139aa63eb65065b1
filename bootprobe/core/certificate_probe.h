#pragma once
// The structural signature test: an embedded attribute certificate right after the
// last section's raw data, where signing tools put the certificate table of an image
// that has no other overlay.
#include <cstdint>

// The answers of CheckSign, in the values its `state` argument receives.
enum SignState : int {
    kSignUnread = 0,    // the file could not be opened and mapped, or is too short
    kSignUnsigned = 1,  // read, no signature found
    kSignSigned = 2,    // signed
};

// Files shorter than this are not looked at.
constexpr uint64_t kSmallestCheckedFile = 10;

// Looks for an attribute certificate header (revision 0x0200, type 2, PKCS signed data)
// at the end of the last section the image's section table names, in header order.
// kSignUnread when the file is too short to be looked at, otherwise kSignUnsigned or
// kSignSigned. Uses the process-wide image reader; callers serialise.
SignState ProbeAttributeCertificate(const unsigned char* bytes, uint64_t size);
