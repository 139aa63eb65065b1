#pragma once
// The eighteen features, one object each, and the order the engine registers them in.
#include <vector>

#include "bad_section_name.h"
#include "data_analyser.h"
#include "embedded_pe.h"
#include "fake_file_name.h"
#include "feature_environment.h"
#include "few_api_count.h"
#include "in_sys_dir.h"
#include "large_file_size.h"
#include "multi_ext_name.h"
#include "no_ver_info.h"
#include "number_prefix.h"
#include "open_port_distrust.h"
#include "open_port_more.h"
#include "recent_create_time.h"
#include "related_by_auto_run.h"
#include "use_system_icon.h"
#include "with_bad_api.h"
#include "with_compiler.h"
#include "with_mail_info.h"
#include "with_shell.h"

class CFeatureCatalogue {
public:
    // Without `openPorts` or `autorun` the features that need them never fire.
    explicit CFeatureCatalogue(IFeatureEnvironment* environment,
                               IOpenPortSystem* openPorts = nullptr,
                               IAutorunSystem* autorun = nullptr);
    CFeatureCatalogue(const CFeatureCatalogue&) = delete;
    CFeatureCatalogue& operator=(const CFeatureCatalogue&) = delete;

    // The features in registration order.
    std::vector<IDataAnalyser*> Features();

private:
    CLargeFileSize largeFileSize_;
    CNoVerInfo noVerInfo_;
    CFakeFileName fakeFileName_;
    CWithShell withShell_;
    CNumberPrefix numberPrefix_;
    CInSysDir inSysDir_;
    CUseSystemIcon useSystemIcon_;
    CFewAPICount fewApiCount_;
    CMultiExtName multiExtName_;
    CRecentCreateTime recentCreateTime_;
    CBadSectionName badSectionName_;
    COpenPortMore openPortMore_;
    CWithBadAPI withBadApi_;
    CWithMailInfo withMailInfo_;
    CEmbeddedPE embeddedPe_;
    CWithCompiler withCompiler_;
    COpenPortDistrust openPortDistrust_;
    CRelatedByAutoRun relatedByAutoRun_;
};
