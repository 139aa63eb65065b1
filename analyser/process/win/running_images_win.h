#pragma once
// The running processes' image names from one system-information query.
//
// A full listing reads the state of every thread of the machine (under Wine from the
// host's process tables, about a millisecond and a half), so it is kept while the
// machine's process list keeps the same size: the system tells that size without
// listing anything, and a program that starts grows it. A program that ends may leave
// its name behind for a while, which only means a port table is consulted; a kept
// listing is never older than a quarter second.
//
// A process whose name matches the subject's is then looked at the way the port table
// names owners (`resolver`): only the exact path it would record can match. A live
// process never changes its image, so that path is kept for as long as the process
// (its id and start time) is listed.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "process_helper.h"
#include "running_images.h"

class CRunningImageNames final : public IRunningImages {
public:
    // Without a resolver, a matching name is enough to answer "may be running".
    // `maxAgeMilliseconds` bounds how long a listing is kept.
    explicit CRunningImageNames(IProcessImagePaths* resolver = nullptr,
                                int maxAgeMilliseconds = 250);
    bool MayBeRunning(const char* path) override;

    using Listed = RunningProcess;
    // The running processes; false when the system cannot list them (the 9x family has
    // no such query).
    bool ListProcesses(std::vector<Listed>* processes);
    // How many exact paths MayBeRunning has asked the resolver for.
    int Resolutions() const { return resolutions_; }
    // How many listings MayBeRunning has taken.
    int Listings() const { return listings_; }

private:
    using QueryFn = LONG(WINAPI*)(ULONG infoClass, void* buffer, ULONG size, ULONG* returned);
    QueryFn query_ = nullptr;
    std::vector<unsigned char> buffer_;  // kept: the listing is asked for every subject

    // The size of the process list, as the system gives it without listing; 0 when it
    // cannot be had.
    ULONG ListingSize();
    // Writes the listing over the first entries of `processes`, adding entries only when
    // there are more processes than ever before; `*count` are valid.
    bool ListInto(std::vector<Listed>* processes, size_t* count);
    // The path the port table would record for a listed process; false when it cannot
    // be read.
    bool ExactPath(const Listed& process, std::string* path);

    IProcessImagePaths* resolver_;
    LONGLONG maxAgeMilliseconds_;
    // The kept listing: its first `listed_` entries. Their memory is taken once, when the library
    // starts, and written over afterwards: blocks taken anew while a host holds thousands of
    // subjects would stay behind when it releases them, and scatter its heap.
    std::vector<Listed> processes_;
    size_t listed_ = 0;
    std::vector<size_t> candidates_;
    bool kept_ = false;
    ULONG keptSize_ = 0;
    LARGE_INTEGER keptAt_ = {};
    int listings_ = 0;
    int resolutions_ = 0;
    std::map<std::pair<uint32_t, int64_t>, std::string> exactPaths_;
};
