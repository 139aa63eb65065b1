#pragma once
// A machine with fixed processes and endpoints for the open-port features.
#include <string>
#include <vector>

#include "open_port_system.h"

class FakeSnapshot final : public IProcessHelper {
public:
    bool Refresh() override {
        ++refreshes;
        return true;
    }
    bool GetProcessPaths(ProcessPathMap* paths) override {
        if (processes.empty()) return false;
        for (const auto& entry : processes) (*paths)[entry.first] = entry.second;
        return true;
    }
    bool GetModulePaths(uint32_t, ModulePathMap*) override { return false; }
    void Shutdown() override {}

    ProcessPathMap processes;
    int refreshes = 0;
};

class FakeEndpointList final : public IEndpointSource {
public:
    bool ReadVersion(SystemVersion* version) override {
        *version = {2, 5, 1};
        return true;
    }
    bool ListEndpoints(int, std::vector<OwnedEndpoint>* endpoints) override {
        ++listings;
        if (!answer) return false;
        *endpoints = endpoints_;
        return true;
    }
    // `count` ports of one protocol owned by `pid`, from `first` on.
    void Add(uint32_t pid, int32_t protocol, int32_t first, int count = 1) {
        for (int i = 0; i < count; ++i) endpoints_.push_back({pid, first + i, protocol});
    }

    std::vector<OwnedEndpoint> endpoints_;
    bool answer = true;
    int listings = 0;
};

class FakeImagePaths final : public IProcessImagePaths {
public:
    explicit FakeImagePaths(FakeSnapshot* source) : source_(source) {}
    bool ResolveImagePaths(const std::vector<uint32_t>& pids, ProcessPathMap* paths) override {
        asked += static_cast<int>(pids.size());
        for (uint32_t pid : pids) {
            auto found = source_->processes.find(pid);
            if (found != source_->processes.end()) (*paths)[pid] = found->second;
        }
        return true;
    }
    int asked = 0;

private:
    FakeSnapshot* source_;
};

// The file names of the snapshot's processes, as a process listing gives them.
class FakeRunningImages final : public IRunningImages {
public:
    explicit FakeRunningImages(FakeSnapshot* source) : source_(source) {}
    bool MayBeRunning(const char* path) override {
        ++asked;
        std::vector<std::string> names;
        for (const auto& entry : source_->processes) {
            const size_t slash = entry.second.find_last_of('\\');
            names.push_back(slash == std::string::npos ? entry.second
                                                       : entry.second.substr(slash + 1));
        }
        return PathMayBeRunning(path, names);
    }
    int asked = 0;

private:
    FakeSnapshot* source_;
};

class FakeOpenPortSystem final : public IOpenPortSystem {
public:
    IProcessHelper* ProcessHelper() override { return &snapshot; }
    IProcessImagePaths* ImagePaths() override { return resolve ? &imagePaths : nullptr; }
    IEndpointSource* Endpoints() override { return &endpoints; }
    IRunningImages* RunningImages() override { return screen ? &runningImages : nullptr; }

    FakeSnapshot snapshot;
    FakeEndpointList endpoints;
    FakeImagePaths imagePaths{&snapshot};
    FakeRunningImages runningImages{&snapshot};
    bool resolve = false;
    bool screen = false;
};
