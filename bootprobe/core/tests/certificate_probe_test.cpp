#include <gtest/gtest.h>

#include "certificate_probe.h"
#include "pe_helper.h"
#include "probe_images.h"

namespace {

TEST(CertificateProbe, StatesOfFiles) {
    for (const probetest::ProbeCase& c : probetest::StructuralCases()) {
        const unsigned char* bytes = c.bytes.empty() ? nullptr : c.bytes.data();
        EXPECT_EQ(ProbeAttributeCertificate(bytes, c.bytes.size()), c.state) << c.name;
        // The shared reader is handed back reset, as every user of it leaves it.
        EXPECT_EQ(ThePEHelper().GetSectionCount(), 0) << c.name;
    }
}

}  // namespace
