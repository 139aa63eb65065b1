#pragma once
// Whether a path can be the image of a running process, told from one cheap listing of
// the processes' image file names. The open-port features ask it first: a port table
// only ever names running programs, and listing the owners of the machine's endpoints
// costs far more than listing the processes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a listing holds for a process whose image name cannot be compared (outside
// ASCII, or not given): it may be any program.
constexpr const char kUncomparableImageName[] = "";

class IRunningImages {
public:
    // False only when no running process can have exactly `path` as the image path that
    // the process snapshot would read for it; true when unsure or when the processes
    // cannot be listed.
    virtual bool MayBeRunning(const char* path) = 0;

protected:
    ~IRunningImages() = default;
};

// One running process as a listing gives it.
struct RunningProcess {
    uint32_t pid = 0;
    int64_t started = 0;  // creation time, 100 ns units
    std::string name;     // image file name, or kUncomparableImageName
};

enum class ImageMatch {
    kNoProcess,      // no listed process can have the path as its image path
    kSomeProcesses,  // only the processes named in the candidates can
    kUnsure,         // the path cannot be told from the names at all
};

// The decision over a listing of image file names (such as "svchost.exe"). A snapshot
// path ends in the file name the listing gives, in any letter case; the candidates are
// the indices of the names that match (and of names that cannot be compared). Paths
// that a snapshot would have cut short, named "System" for want of a readable name, or
// spelt with short-name or non-ASCII characters are unsure.
ImageMatch MatchRunningImages(const char* path, const std::vector<std::string>& imageNames,
                              std::vector<size_t>* candidates);
// The same over the names of the first `count` processes of an array.
ImageMatch MatchRunningImages(const char* path, const RunningProcess* processes, size_t count,
                              std::vector<size_t>* candidates);

// False only when MatchRunningImages finds no process.
bool PathMayBeRunning(const char* path, const std::vector<std::string>& imageNames);
