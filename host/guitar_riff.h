// A deterministic guitar DI signal: Karplus-Strong plucked strings with a pick attack, playing power
// chords and single notes. The demo's input and the benchmark's test signal.
#pragma once

#include <vector>

namespace vsthost {

// Length of one pass of the riff, in seconds.
double riffSeconds();

// `seconds` of the riff at `rate`, repeated as needed; peak 0.5. Identical for identical arguments.
std::vector<float> guitarRiff(double rate, double seconds);

}  // namespace vsthost
