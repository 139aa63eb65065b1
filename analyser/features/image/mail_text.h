#pragma once
// The shape of an e-mail address at the end of a printable text: a dot among the last
// characters and an "@" somewhere before it.
#include <cstddef>

// True when `text` (up to its first zero, at most `length` characters) looks like an
// address. The walk goes from the second-to-last character down to index 2: a "." must
// appear within the first four characters visited, the character just before it is
// passed over, and an "@" visited after that makes the text an address. The last
// character and indices 0 and 1 are never looked at.
bool LooksLikeMailAddress(const char* text, int length);

enum class MailTextAnswer { kNo, kYes, kUnsure };

// Whether any text that the image reader's string walk hands over for `minLength`
// (printable runs, probed every minLength-th byte, kept up to `maxLength` characters)
// looks like an address, found without the walk. Only a text with an "@" can, so only
// the runs around the "@" bytes are looked at. Each run of at least `minLength`
// printable bytes gives the walk exactly one text, which starts at the run's first or
// second byte, as the probe happens to land; kUnsure when those two answer differently,
// and then only the walk itself can tell.
MailTextAnswer FindMailText(const unsigned char* bytes, size_t size, int minLength,
                            size_t maxLength);
