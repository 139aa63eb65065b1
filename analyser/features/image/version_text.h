#pragma once
// The copyright text of a version resource.
#include <string>

// Version resources this short hold no string table worth reading.
constexpr int kMinVersionResourceSize = 29;

// The LegalCopyright value of a raw version resource (`size` bytes at `data`): the low
// byte of each UTF-16 character after the key and its terminator, up to a zero byte or
// the end of the data. Empty when the key is not found.
std::string LegalCopyrightText(const unsigned char* data, int size);
