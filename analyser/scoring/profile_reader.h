#pragma once
// The private-profile (INI) reading the engine needs, kept behind an interface so the
// engine does not depend on the system's reader.

class IProfileReader {
public:
    // Copies the value of `key` in `section` of the file at `path` into `buffer` (at
    // most size - 1 characters and a terminator) and returns the characters copied; a
    // missing file, section or key gives the empty text and 0.
    virtual unsigned ReadString(const char* section, const char* key, char* buffer, unsigned size,
                                const char* path) = 0;

protected:
    ~IProfileReader() = default;
};
