#pragma once
// The result codes of the check and upload requests, as their slots answer them.

namespace courier {

enum RequestResult : int {
    kRequestDone = 0,       // the server answered 200 and its body was read
    kRequestNotSent = 1,    // the request could not be sent (server unreachable)
    kRequestFailed = 2,     // any other failure, a status other than 200 included
    kRequestCancelled = 3,  // the upload was cancelled
};

}  // namespace courier
