#pragma once
// Parse followed by every query of the image reader, as the image features ask them.
// Shared by the fuzz target and the test that replays the inputs it kept.
#include <cstddef>
#include <cstdint>

class CPEHelper;

// Returns a value folded from every answer, so that nothing is optimised away.
uint64_t ExercisePEHelper(CPEHelper& helper, const uint8_t* data, size_t size);
