// The trust verifier and CheckSign's flow against the stand-in trust library, which
// records what it is given and answers what a test sets.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, in this order.
// clang-format off
#include <softpub.h>
// clang-format on

#include <cstring>
#include <string>

#include "fake_trust.h"
#include "probe_images.h"
#include "scratch_dir_win.h"
#include "sign_check_win.h"

namespace {

std::vector<uint8_t> CaseBytes(const std::string& name) {
    for (const probetest::ProbeCase& c : probetest::StructuralCases())
        if (c.name == name) return c.bytes;
    ADD_FAILURE() << "no case " << name;
    return {};
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// The stand-in, loaded by the test so that its answers can be set before the verifier
// loads it; its log starts empty.
class StandIn {
public:
    explicit StandIn(const char* name) : module_(LoadLibraryA(name)) {
        if (module_ == nullptr) return;
        const auto get = reinterpret_cast<FakeTrustLogFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "GetFakeTrustLog")));
        if (get != nullptr) log = get();
        if (log != nullptr) *log = FakeTrustLog{};
    }
    ~StandIn() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    FakeTrustLog* log = nullptr;

private:
    HMODULE module_;
};

struct Checked {
    int result;
    int state;
    bool operator==(const Checked& o) const { return result == o.result && state == o.state; }
};
std::ostream& operator<<(std::ostream& out, const Checked& c) {
    return out << "(" << c.result << ", state " << c.state << ")";
}

Checked Check(CTrustVerifier& verifier, const std::string& path) {
    int state = -1;
    const int result = CheckSignature(verifier, path.c_str(), &state);
    return {result, state};
}

TEST(TrustVerifier, StructuresHandedToTheSystem) {
    const struct {
        int catalogFound;
        DWORD revocationChecks, unionChoice, provFlags, infoSize;
        int catalogInfoCalls, releaseCatalogCalls;
    } cases[] = {
        {0, 0, 1, 0x100, 16, 0, 0},  // the file's own signature
        {1, 1, 2, 0, 36, 1, 1},      // a catalog member
    };
    kvtest::ScratchDir dir;
    const std::vector<uint8_t> bytes = CaseBytes("UnsignedProgram");
    const std::string path = dir.Write("plain.exe", bytes);
    for (const auto& c : cases) {
        StandIn fake("FakeTrust.dll");
        ASSERT_NE(fake.log, nullptr);
        fake.log->catalogFound = c.catalogFound;
        CTrustVerifier verifier("FakeTrust.dll");
        EXPECT_EQ(Check(verifier, path), (Checked{1, 2})) << c.catalogFound;

        const FakeTrustLog& log = *fake.log;
        EXPECT_EQ(log.acquireCalls, 1);
        EXPECT_TRUE(log.acquireSubsystemNull);
        EXPECT_EQ(log.acquireFlags, 0u);
        EXPECT_EQ(log.hashBufferSize, 20u);
        EXPECT_EQ(log.hashedFileSize, static_cast<LONGLONG>(bytes.size()));
        EXPECT_EQ(log.enumCalls, 1);
        EXPECT_EQ(log.catalogInfoCalls, c.catalogInfoCalls);
        if (c.catalogFound) {
            EXPECT_EQ(log.catalogInfoSize, 524u);
        }
        EXPECT_EQ(log.verifyCalls, 1);
        EXPECT_TRUE(log.windowNull);
        const GUID genericVerify = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        EXPECT_EQ(std::memcmp(&log.action, &genericVerify, sizeof(GUID)), 0);
        EXPECT_EQ(log.dataSize, 44u);
        EXPECT_EQ(log.uiChoice, 2u);
        EXPECT_EQ(log.revocationChecks, c.revocationChecks);
        EXPECT_EQ(log.unionChoice, c.unionChoice);
        EXPECT_EQ(log.stateAction, 0u);
        EXPECT_EQ(log.provFlags, c.provFlags);
        EXPECT_EQ(log.infoSize, c.infoSize);
        if (c.catalogFound) {
            EXPECT_EQ(std::wstring(log.catalogPath), FAKE_TRUST_CATALOG);
            EXPECT_EQ(std::wstring(log.memberPath), Wide(path));
            std::wstring tag;
            for (int i = 0; i < 20; ++i) {
                wchar_t hex[3];
                swprintf(hex, 3, L"%02X", FAKE_TRUST_HASH_BYTE(i));
                tag += hex;
            }
            EXPECT_EQ(std::wstring(log.memberTag), tag);
        } else {
            EXPECT_EQ(std::wstring(log.filePath), Wide(path));
        }
        // Both contexts released once, with the handles the library gave out.
        EXPECT_EQ(log.releaseCatalogCalls, c.releaseCatalogCalls);
        EXPECT_EQ(log.releaseContextCalls, 1);
        EXPECT_EQ(log.contextMismatches, 0);
    }
}

TEST(TrustVerifier, OnlyZeroIsTrusted) {
    const struct {
        LONG answer;
        Checked expected;
    } cases[] = {
        // clang-format off
        {0, {1, 2}},
        {2, {0, 1}},                              // a missing file
        {5, {0, 1}},                              // a directory
        {32, {0, 1}},                             // a sharing violation
        {0x7FFFFFFF, {0, 1}},
        {static_cast<LONG>(0x800B0100), {0, 1}},  // no signature
        // clang-format on
    };
    kvtest::ScratchDir dir;
    const std::string path = dir.Write("plain.exe", CaseBytes("UnsignedProgram"));
    for (const auto& c : cases) {
        StandIn fake("FakeTrust.dll");
        fake.log->verifyAnswer = c.answer;
        CTrustVerifier verifier("FakeTrust.dll");
        EXPECT_EQ(Check(verifier, path), c.expected) << c.answer;
        EXPECT_EQ(fake.log->verifyCalls, 1);
    }
}

TEST(TrustVerifier, TrustedContentIsVerifiedOnce) {
    StandIn fake("FakeTrust.dll");
    CTrustVerifier verifier("FakeTrust.dll");
    kvtest::ScratchDir dir;
    std::vector<uint8_t> bytes = CaseBytes("UnsignedProgram");
    const std::string first = dir.Write("first.exe", bytes);
    const std::string second = dir.Write("second.exe", bytes);

    EXPECT_EQ(Check(verifier, first), (Checked{1, 2}));
    // From now on the system would say no: only the remembered digest can say yes.
    fake.log->verifyAnswer = static_cast<LONG>(0x800B0100);
    EXPECT_EQ(Check(verifier, first), (Checked{1, 2}));
    EXPECT_EQ(Check(verifier, second), (Checked{1, 2}));
    EXPECT_EQ(fake.log->verifyCalls, 1);
    EXPECT_EQ(fake.log->acquireCalls, 1);

    bytes[0x210] ^= 0xFF;
    dir.Write("first.exe", bytes);
    EXPECT_EQ(Check(verifier, first), (Checked{0, 1}));
    EXPECT_EQ(Check(verifier, first), (Checked{0, 1}));
    EXPECT_EQ(fake.log->verifyCalls, 3);
}

TEST(TrustVerifier, WithoutTheEntryPointsTheStructureDecides) {
    kvtest::ScratchDir dir;
    const std::string plain = dir.Write("plain.exe", CaseBytes("UnsignedProgram"));
    const std::string header = dir.Write("header.exe", CaseBytes("HeaderInOverlay"));
    for (const char* library : {"FakeTrustNoEnum.dll", "NoSuchTrust.dll"}) {
        StandIn fake(library);
        CTrustVerifier verifier(library);
        EXPECT_EQ(Check(verifier, plain), (Checked{0, 1})) << library;
        EXPECT_EQ(Check(verifier, header), (Checked{1, 2})) << library;
        if (fake.log != nullptr) {
            EXPECT_EQ(fake.log->acquireCalls + fake.log->verifyCalls, 0);
        }
    }
}

TEST(TrustVerifier, LibraryLoadedOnFirstUseAndKept) {
    kvtest::ScratchDir dir;
    const std::string path = dir.Write("plain.exe", CaseBytes("UnsignedProgram"));
    {
        CTrustVerifier verifier("FakeTrust.dll");
        int state = -1;
        EXPECT_EQ(CheckSignature(verifier, nullptr, &state), 0);
        EXPECT_EQ(state, 0);
        EXPECT_EQ(CheckSignature(verifier, (path + ".missing").c_str(), &state), 0);
        EXPECT_EQ(state, 0);
        EXPECT_EQ(GetModuleHandleA("FakeTrust.dll"), nullptr);
        // A null state is allowed: the result alone answers.
        CheckSignature(verifier, path.c_str(), nullptr);
        EXPECT_NE(GetModuleHandleA("FakeTrust.dll"), nullptr);
        CheckSignature(verifier, path.c_str(), nullptr);
        EXPECT_NE(GetModuleHandleA("FakeTrust.dll"), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA("FakeTrust.dll"), nullptr);
}

}  // namespace
