#pragma once
// The process-wide snapshot object: one implementation chosen by the system family,
// and the component face under which the library hands it out.
#include <memory>

#include "component.h"
#include "process_helper.h"

class CProcessThreadInfo final : public IComponent,
                                 public IProcessHelper,
                                 public IProcessImagePaths {
public:
    // Chooses the 9x implementation when the top bit of GetVersion is set, else NT.
    CProcessThreadInfo();
    CProcessThreadInfo(const CProcessThreadInfo&) = delete;
    CProcessThreadInfo& operator=(const CProcessThreadInfo&) = delete;
    ~CProcessThreadInfo() override;

    // IComponent
    const char* GetName(char* buffer, int size) override;
    void* GetInterface(const char* name, int reserved) override;

    // IProcessHelper: forwarded to the implementation; false once it is shut down.
    bool Refresh() override;
    bool GetProcessPaths(ProcessPathMap* paths) override;
    bool GetModulePaths(uint32_t pid, ModulePathMap* paths) override;
    void Shutdown() override;

    // IProcessImagePaths
    bool ResolveImagePaths(const std::vector<uint32_t>& pids, ProcessPathMap* paths) override;

    // True when the NT implementation was chosen (for the tests of the choice).
    bool IsNtFamily() const { return ntFamily_; }

private:
    struct Implementation;
    std::unique_ptr<Implementation> impl_;
    bool ntFamily_ = true;
};

// The one snapshot object of the library, built on first use.
CProcessThreadInfo& TheProcessThreadInfo();
