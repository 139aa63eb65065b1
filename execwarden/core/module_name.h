#pragma once
// The image lookup of a new process: the first module with a usable file name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// `name` without its leading blanks, tabs, backspaces and line feeds.
std::string_view TrimModuleName(std::string_view name);

using ModuleAddress = std::uintptr_t;

constexpr std::size_t kModuleTableEntries = 1024;  // 4096 bytes of 32-bit handles
constexpr int kImageLookupRetries = 51;            // after the first try: about one second
constexpr unsigned kImageLookupRetryMs = 20;

// What the lookup asks of one process that the caller has opened.
class ProcessImageSource {
public:
    // The main image's path and load address, each in one cheap query; false when the
    // system has no such query or either answer is missing (a process that is already
    // gone, for one). The module walk answers then.
    virtual bool MainImage(std::string* path, ModuleAddress* module) = 0;
    // Up to `capacity` modules into `modules`; `*count` receives how many the process
    // has (which may be more). False when the enumeration failed.
    virtual bool EnumerateModules(ModuleAddress* modules, std::size_t capacity,
                                  std::size_t* count) = 0;
    // The module's file name (at most 260 bytes), false when it cannot be read.
    virtual bool ModuleFileName(ModuleAddress module, std::string* name) = 0;
    // Waits `ms` between tries; false when the lookup must give up at once (stopping).
    virtual bool Pause(unsigned ms) = 0;

protected:
    ~ProcessImageSource() = default;
};

struct ProcessImage {
    std::string path;          // "" when no module name was found
    ModuleAddress module = 0;  // 0 whenever the path is ""
    bool stopped = false;      // the lookup gave up because the monitor is stopping
};

// The main image's own path and load address when the system tells them; else the first
// module with a usable name. A process that has just been created may have no modules
// listed yet: an enumeration that fails, or succeeds with no module at all, is tried again
// up to kImageLookupRetries times.
ProcessImage FindProcessImage(ProcessImageSource& source);
