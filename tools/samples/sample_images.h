#pragma once
// The synthetic images of assay's demonstration set, built with the PE test-image
// builder: programs made to look like what the analyser is meant to catch, and an
// ordinary one that it should let pass.
#include <cstdint>
#include <string>
#include <vector>

struct SampleImage {
    std::string fileName;
    std::vector<uint8_t> bytes;
};

std::vector<SampleImage> DemonstrationSamples();
