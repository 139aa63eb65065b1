#pragma once
// Position-weighted comparison of a system file name with a candidate file name, in
// which characters that readers confuse ("0" for "o", "1" for "l") count as equal.
#include <cstddef>
#include <cstdint>
#include <string>

class CSimilarity {
public:
    CSimilarity();

    // The one instance, built on first use and kept until the library unloads.
    static const CSimilarity& Instance();

    // 0.0 (nothing alike) to 1.0 (every position passes). First rewrites `candidate` in
    // place where a digit pair stands for a letter of `systemName` ("14" for "H", "lJ"
    // for "U"); the caller keeps the rewritten text for its later comparisons. Texts of
    // length 0 or 1 are never similar. A null `systemName` counts as empty.
    double Similarity(const char* systemName, std::string& candidate) const;

    // 1 when candidate character `b` passes for system-name character `a`, else 0.
    // Both are taken as signed 8-bit codes.
    int Match(char a, char b) const {
        return matches_[static_cast<unsigned char>(a)][static_cast<unsigned char>(b)];
    }

    // The look-alike string whose key is `key`, or null when the key has none.
    const char* LookAlikeString(char key) const;

    // The rewrite step of Similarity on its own.
    static void NormaliseDigitPairs(const char* systemName, std::string& candidate);

    // The weight of one position: the base shifted left by `exponent` modulo 32, kept
    // to 32 bits, so an exponent of 31 (or -1) pushes the bit out and weighs nothing.
    static uint32_t Weight(size_t exponent);

    // The divisor for texts of these lengths: the largest forward score of the shorter
    // length when the lengths are close, else that of the longer length.
    static double Normaliser(size_t shorter, size_t longer);

    static constexpr uint32_t kBase = 2;
    static constexpr size_t kSlotCount = 128;

private:
    int MatchByRule(char a, char b) const;

    const char* slots_[kSlotCount];
    // Every answer of MatchByRule, so that the comparison loops do one lookup per
    // position; a whole list walk runs per subject.
    uint8_t matches_[256][256];
};
