#include "feature_catalogue.h"

CFeatureCatalogue::CFeatureCatalogue(IFeatureEnvironment* environment)
    : inSysDir_(environment), recentCreateTime_(environment) {}

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
