#pragma once
// The shape of an e-mail address at the end of a printable text: a dot among the last
// characters and an "@" somewhere before it.

// True when `text` (up to its first zero, at most `length` characters) looks like an
// address. The walk goes from the second-to-last character down to index 2: a "." must
// appear within the first four characters visited, the character just before it is
// passed over, and an "@" visited after that makes the text an address. The last
// character and indices 0 and 1 are never looked at.
bool LooksLikeMailAddress(const char* text, int length);
