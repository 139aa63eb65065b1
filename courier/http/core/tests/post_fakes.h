#pragma once
// In-memory stand-ins for the wire and the files of a post.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "http_error.h"
#include "http_post.h"

namespace posttest {

struct CollectingSink : Torva::IHttpPostSink {
    void Write(const char* data, uint32_t size) override {
        if (failAfter != std::string::npos && bytes.size() + size > failAfter) {
            Torva::ThrowHttpError(Torva::kHttpWriteFileFailed, 10054);
        }
        bytes.append(data, size);
        ++writes;
    }
    std::string bytes;
    int writes = 0;
    size_t failAfter = std::string::npos;
};

struct MemoryFile : Torva::IHttpPostFile {
    MemoryFile(std::string content, uint64_t size) : content(std::move(content)), size(size) {}
    uint64_t Size() override { return size; }
    std::string ContentType() override { return "text/x-test"; }
    uint32_t Read(char* buffer, uint32_t count) override {
        const size_t n = std::min<size_t>(count, content.size() - at);
        std::memcpy(buffer, content.data() + at, n);
        at += n;
        largestRead = std::max<uint32_t>(largestRead, count);
        return static_cast<uint32_t>(n);
    }
    std::string content;
    uint64_t size;
    size_t at = 0;
    uint32_t largestRead = 0;
};

// Files by path. A file's announced size may differ from its content, as when the file
// changes between opening and reading.
struct MemoryFiles : Torva::IHttpFileOpener {
    std::unique_ptr<Torva::IHttpPostFile> Open(const char* path, uint32_t& error) override {
        auto it = files.find(path);
        if (it == files.end()) {
            error = 2;
            return nullptr;
        }
        auto file = std::make_unique<MemoryFile>(it->second, it->second.size());
        if (sizes.count(path)) file->size = sizes[path];
        opened.push_back(file.get());
        return file;
    }
    std::map<std::string, std::string> files;
    std::map<std::string, uint64_t> sizes;
    std::vector<MemoryFile*> opened;
};

// Runs a prepared context to the end; returns the number of steps.
inline int RunToEnd(Torva::CHttpPostContext& post, CollectingSink& sink, uint32_t desired) {
    int steps = 0;
    while (post.Proceed(desired, sink) == Torva::CHttpPostContext::Step::kWrote) ++steps;
    return steps;
}

}  // namespace posttest
