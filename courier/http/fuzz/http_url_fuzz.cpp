// URLs and parameter texts come from configuration files and hosts: analysing,
// resolving and encoding any bytes must stay inside them, and the counted length must
// match what encoding produces.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http_encoder.h"
#include "http_error.h"
#include "http_url.h"

namespace {

// Lead bytes 0x81 to 0xFE, as in the double-byte code pages.
struct FuzzDoubleByteText final : Torva::CodePageText {
    unsigned CodePage() const override { return 936; }
    bool IsLeadByte(unsigned char b) const override { return b >= 0x81 && b <= 0xFE; }
    size_t CharToUtf8(const char* ch, size_t size, char out[7]) const override {
        for (size_t i = 0; i < size; ++i) out[i] = ch[i];
        return size;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Torva::SingleByteText kSingle;
    static const FuzzDoubleByteText kDouble;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* url = text.c_str();  // up to the first NUL, as a C string
    const size_t length = std::char_traits<char>::length(url);

    for (const Torva::CodePageText* cp : {static_cast<const Torva::CodePageText*>(&kSingle),
                                          static_cast<const Torva::CodePageText*>(&kDouble)}) {
        const auto r = Torva::CHttpUrlAnalyzerT::Analyze(url, *cp);
        for (const auto& piece : {r.scheme, r.host, r.port, r.path, r.query, r.fragment}) {
            if (piece.pos > length || piece.len > length - piece.pos) std::abort();
        }
        try {
            const Torva::HttpRequestTarget target = Torva::ResolveRequestTarget(url, false, *cp);
            if (target.host.empty() || target.port == 0 || target.objectName[0] != '/') {
                std::abort();
            }
        } catch (const Torva::httpclientexceptionA& e) {
            if (e.LastError() != Torva::kHttpInvalidUrl &&
                e.LastError() != Torva::kHttpInvalidPort) {
                std::abort();
            }
        }
        for (bool utf8 : {false, true}) {
            const std::string encoded = Torva::CHttpEncoderA::UrlEncodeA(url, utf8, *cp);
            if (encoded.size() != Torva::CHttpEncoderA::_UrlEncodeLen(url, utf8, *cp)) std::abort();
        }
    }
    return 0;
}
