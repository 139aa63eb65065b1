#include "assayer_instance_win.h"

#include "analyser_platform_win.h"
#include "autorun_system_win.h"
#include "feature_catalogue.h"
#include "feature_environment_win.h"
#include "open_port_system_win.h"
#include "profile_reader_win.h"

namespace {

CFeatureCatalogue& TheCatalogue() {
    static CSystemFeatureEnvironment environment;
    static CSystemOpenPorts openPorts;
    static CSystemAutorun autorun;
    static CFeatureCatalogue catalogue(&environment, &openPorts, &autorun);
    return catalogue;
}

}  // namespace

VCS::IVCS* GetVcs() {
    static CPrivateProfileReader reader;
    static VCS::CVcs engine(TheCatalogue().Features(), &reader);
    return &engine;
}

CAssayer& TheAssayer() {
    // Built on the first export call rather than at load: the directory queries call
    // into the shell, which must not happen under the loader lock.
    static CSystemAnalyserPlatform platform;
    static CAssayer assayer(GetVcs(), &platform, ReadAnalyserDirectories());
    return assayer;
}
