// CheckSign through BootProbe.dll against the system's trust verification, with
// programs and a catalog signed at build time.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, in this order.
// clang-format off
#include <wincrypt.h>
#include <mscat.h>
// clang-format on

#include <algorithm>
#include <fstream>
#include <iterator>

#include "bootprobe_host.h"
#include "probe_images.h"
#include "scratch_dir_win.h"

namespace {

const std::string kSigned = KV_SIGNED_INPUTS;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// The build's catalog, installed in the system's catalog store while this lives. An
// installed catalog that the system cannot read makes its catalog search crash the
// caller, so it is read back first and removed on every path.
class InstalledCatalog {
public:
    static constexpr const wchar_t* kName = L"kvprobe_test.cat";

    explicit InstalledCatalog(const std::string& path) {
        const std::vector<uint8_t> bytes = ReadAll(path);
        PCCTL_CONTEXT list = CertCreateCTLContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                  bytes.data(), static_cast<DWORD>(bytes.size()));
        if (list == nullptr) {
            ADD_FAILURE() << "the catalog does not read back: " << GetLastError();
            return;
        }
        CertFreeCTLContext(list);
        if (!CryptCATAdminAcquireContext(&admin_, nullptr, 0)) return;
        HCATINFO info = CryptCATAdminAddCatalog(admin_, const_cast<wchar_t*>(Wide(path).c_str()),
                                                const_cast<wchar_t*>(kName), 0);
        if (info == nullptr) return;
        CryptCATAdminReleaseCatalogContext(admin_, info, 0);
        installed_ = true;
    }
    ~InstalledCatalog() {
        if (installed_) {
            EXPECT_TRUE(CryptCATAdminRemoveCatalog(admin_, kName, 0));
        }
        if (admin_ != nullptr) CryptCATAdminReleaseContext(admin_, 0);
    }
    InstalledCatalog(const InstalledCatalog&) = delete;
    InstalledCatalog& operator=(const InstalledCatalog&) = delete;

    bool installed() const { return installed_; }

private:
    HCATADMIN admin_ = nullptr;
    bool installed_ = false;
};

class CheckSignDllTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host_.ready()); }

    std::pair<int, int> Check(const std::string& path) {
        int state = -1;
        const int result = host_.checkSign(path.c_str(), &state);
        return {result, state};
    }

    BootProbeHost host_;
    kvtest::ScratchDir dir_;
};

TEST_F(CheckSignDllTest, FilesTheSystemCannotVouchFor) {
    for (const probetest::ProbeCase& c : probetest::StructuralCases()) {
        const std::string path = dir_.Write(c.name + ".exe", c.bytes);
        EXPECT_EQ(Check(path), std::make_pair(c.state == 2 ? 1 : 0, c.state)) << c.name;
    }
    EXPECT_EQ(Check(dir_.path() + "\\missing.exe"), std::make_pair(0, 0));
    EXPECT_EQ(Check(dir_.path()), std::make_pair(0, 0));  // a directory
    EXPECT_EQ(host_.checkSign(nullptr, nullptr), 0);
}

TEST_F(CheckSignDllTest, FileHeldOpenForWritingAndDeleting) {
    const std::string path = dir_.Write("busy.exe", ReadAll(kSigned + "/unsigned.exe"));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Check(path), std::make_pair(0, 1));
    CloseHandle(writer);
}

// Wine's load order for the trust host alone: the trust library is taken from its folder.
constexpr char kTrustHostOverrides[] =
    "Software\\Wine\\AppDefaults\\bootprobe_trust_host.exe\\DllOverrides";

// Runs bootprobe_trust_host from `folder`; what it printed, or why it printed nothing.
std::string RunTrustHost(const kvtest::ScratchDir& folder, const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileA((folder / "out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::string line = "\"" + folder / "bootprobe_trust_host.exe" + "\" " + arguments;
    const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.path().c_str(), &startup, &process);
    CloseHandle(out);
    if (!started) return "not started: " + std::to_string(GetLastError());
    const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (waited != WAIT_OBJECT_0) return "did not end";
    std::string printed = folder.Read("out.txt");
    printed.erase(std::remove(printed.begin(), printed.end(), '\r'), printed.end());
    return printed;
}

// Only an answer of 0 from the system's verification is trust: some systems answer a
// failure with a positive error code, which the result's sign would take for success.
TEST_F(CheckSignDllTest, OnlyAnAnswerOfZeroFromTheSystemIsTrust) {
    ASSERT_TRUE(dir_.CopyBuilt("bootprobe_trust_host.exe") && dir_.CopyBuilt("BootProbe.dll") &&
                dir_.CopyBuilt("FakeTrust.dll", "WinTrust.dll"));
    ASSERT_EQ(
        RegSetKeyValueA(HKEY_CURRENT_USER, kTrustHostOverrides, "wintrust", REG_SZ, "native", 7),
        ERROR_SUCCESS);
    const std::string file = dir_.Write("plain.exe", ReadAll(kSigned + "/unsigned.exe"));
    const struct {
        const char* answer;
        const char* printed;  // result, state, verifications
    } cases[] = {{"0", "1 2 1\n"},
                 {"2", "0 1 1\n"},            // a missing file
                 {"32", "0 1 1\n"},           // a sharing violation
                 {"0x800B0100", "0 1 1\n"}};  // no signature
    for (const auto& c : cases) {
        EXPECT_EQ(RunTrustHost(dir_, std::string(c.answer) + " \"" + file + "\""), c.printed)
            << c.answer;
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\bootprobe_trust_host.exe");
}

TEST_F(CheckSignDllTest, EmbeddedSignature) {
    const std::vector<uint8_t> original = ReadAll(kSigned + "/signed.exe");
    ASSERT_GT(original.size(), 0x500u);
    const std::string path = dir_.Write("signed.exe", original);
    EXPECT_EQ(Check(path), std::make_pair(1, 2));
    EXPECT_EQ(Check(path), std::make_pair(1, 2));
    EXPECT_EQ(Check(kSigned + "/unsigned.exe"), std::make_pair(0, 1));

    // One code byte changed in place: the content was trusted, this content is not.
    std::vector<uint8_t> changed = original;
    changed[0x410] ^= 0x01;
    dir_.Write("signed.exe", changed);
    EXPECT_EQ(Check(path), std::make_pair(0, 1));
}

TEST_F(CheckSignDllTest, CatalogMember) {
    const std::string member = dir_.Write("member.exe", ReadAll(kSigned + "/member.exe"));
    EXPECT_EQ(Check(member), std::make_pair(0, 1));
    {
        InstalledCatalog catalog(kSigned + "/kvprobe.cat");
        ASSERT_TRUE(catalog.installed()) << GetLastError();
        EXPECT_EQ(Check(member), std::make_pair(1, 2));
    }
    // Trusted content stays trusted for the life of the library.
    EXPECT_EQ(Check(member), std::make_pair(1, 2));
}

}  // namespace
