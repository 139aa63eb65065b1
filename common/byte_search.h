#pragma once
// Finding one byte value in a long buffer. The C runtime that a Windows host gives us
// may search byte by byte; the scanners of whole images call this instead.
#include <cstddef>

// The first byte equal to `value` among the `length` bytes at `data`, or null: the C
// library's memchr.
const unsigned char* FindByte(const unsigned char* data, size_t length, unsigned char value);
// The same, a machine word at a time, for processors without SSE2 (and for tests).
const unsigned char* FindByteByWords(const unsigned char* data, size_t length, unsigned char value);
