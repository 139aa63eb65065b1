#pragma once
// The system's private-profile reader.
#include "profile_reader.h"

class CPrivateProfileReader final : public IProfileReader {
public:
    unsigned ReadString(const char* section, const char* key, char* buffer, unsigned size,
                        const char* path) override;
};
