#include "feature_catalogue.h"

CFeatureCatalogue::CFeatureCatalogue(IFeatureEnvironment* environment,
                                     IOpenPortSystem* openPorts, IAutorunSystem* autorun)
    : withShell_(environment),
      inSysDir_(environment),
      recentCreateTime_(environment),
      openPortMore_(openPorts),
      openPortDistrust_(openPorts),
      relatedByAutoRun_(autorun) {}

std::vector<IDataAnalyser*> CFeatureCatalogue::Features() {
    // Registration order is part of the engine's behaviour (ties in rule order and the
    // order of Prepare and Notify); keep this one table in catalogue order.
    return {
        &largeFileSize_,    &noVerInfo_,        &fakeFileName_,   &withShell_,
        &numberPrefix_,     &inSysDir_,         &useSystemIcon_,  &fewApiCount_,
        &multiExtName_,     &recentCreateTime_, &badSectionName_, &openPortMore_,
        &withBadApi_,       &withMailInfo_,     &embeddedPe_,     &withCompiler_,
        &openPortDistrust_, &relatedByAutoRun_,
    };
}
