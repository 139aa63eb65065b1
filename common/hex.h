#pragma once
// Hexadecimal text to bytes, for the signature tables of the image reader.

// Converts pairs of hex digits of the NUL-terminated `text` into bytes at `out`.
// `out` is first cleared for half the text length; a character that is not a hex
// digit counts as 0; an odd final digit is paired with the terminating NUL (so "A"
// gives 0xA0). Returns 0 when `out` is null, else 1. `out` must hold
// (strlen(text) + 1) / 2 bytes.
int HexToBytes(const char* text, unsigned char* out);
