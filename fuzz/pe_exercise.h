#pragma once
// Parse followed by every query of the image reader, as the image features ask them.
// Shared by the fuzz target and the test that replays the inputs it kept.
#include <cstddef>
#include <cstdint>

class CPEHelper;
class SignatureSet;
class UserSignatures;

// Returns a value folded from every answer, so that nothing is optimised away.
uint64_t ExercisePEHelper(CPEHelper& helper, const uint8_t* data, size_t size);

// One input of the fuzz target, in either of its two forms:
//   - an image (anything that does not start with the marker below);
//   - "SIG\n", an analyst's signature database text, then optionally "\nIMAGE\n" and
//     an image: the database is loaded into a fresh reader and the image exercised
//     with its rows. The loader's answers are checked against each other (the text fed
//     whole and in pieces, loaded twice) and the indexed search against a plain walk
//     over the rows; a disagreement aborts.
uint64_t ExerciseFuzzInput(const uint8_t* data, size_t size);

// Loads an analyst's database text into `whole` (a set without rows) as one piece,
// checked against a load in pieces (the same rows and counts), against its own counts
// (every block added or skipped) and against a second load (which adds nothing); a
// disagreement aborts.
void LoadSignatureTextChecked(const char* text, size_t size, SignatureSet* whole);

// The first user row that matches at `entry`, found by walking every row in order: the
// reference the indexed search is checked against, and the benchmark's yardstick.
const char* PlainUserSearch(const UserSignatures& rows, const uint8_t* image, size_t size,
                            int64_t entry);

constexpr char kSignatureInputMarker[] = "SIG\n";
constexpr char kSignatureImageSeparator[] = "\nIMAGE\n";
