#pragma once
// The decision of the look-alike system file name feature, free of the subject record
// and of the platform: a file name that is not a known system file name (not even when
// case is ignored) but more than 97 % similar to one is taken as an imitation.
#include <string>
#include <vector>

class CFakeFileNameCore {
public:
    // The outcome for one candidate, with what decided it.
    struct Decision {
        int result = 0;              // 1 fired; 0 or -1 not fired (-1: an exact system name)
        const char* name = nullptr;  // the list name that decided, null when none did
        std::string candidate;       // the candidate after the rewrites of the comparisons
    };

    // Loads the built-in names into the list in table order; the list holds each name
    // once however often this runs. Returns 1.
    int Prepare();

    // The whole per-subject decision for the record's base name (file name without
    // directory and last extension) and extension text (file name after its first
    // dot); a null text counts as empty. Returns 1 (fired), 0 or -1 (not fired).
    // Never throws.
    int Analyse(const char* baseName, const char* extName) const;

    // The decision for a ready candidate text.
    Decision Decide(std::string candidate) const;

    // base name + "." + extension text, so c:\a\b.txt.exe gives b.txt.txt.exe.
    static std::string BuildCandidate(const char* baseName, const char* extName);

    const std::vector<const char*>& Names() const { return names_; }

    static constexpr double kSimilarThreshold = 0.97;

private:
    bool IsExactName(const std::string& candidate) const;

    std::vector<const char*> names_;
};
