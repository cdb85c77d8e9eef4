// The demo's pictures: input and output waveforms and their magnitude spectra, as a PNG file.
#pragma once

#include <string>
#include <vector>

namespace vsthost {

// Average magnitude spectrum (Hann-windowed frames of `size` points, half overlapped), scaled so that a
// full-scale sine reads 1.0 at its bin. Returns size/2 + 1 bins; empty input gives all zeros.
std::vector<double> magnitudeSpectrum(const std::vector<float>& signal, std::size_t size);

// Writes a PNG: the input waveform, the output waveforms (all channels), and both spectra on a
// logarithmic frequency axis in dB. Throws HostError if the file cannot be written.
void plotComparison(const std::string& path, const std::string& title, const std::vector<float>& input,
                    const std::vector<std::vector<float>>& outputs, double rate);

}  // namespace vsthost
