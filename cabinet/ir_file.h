#pragma once
// Reading an external impulse response from a WAV file, up to the samples a cabinet will use. Touches no
// plug-in state: the caller installs the result only when this succeeds, so a bad file changes nothing.

#include <vector>

#include "cabinet/wav_reader.h"

namespace cabinet {

// Reads `path` and fills `kept` with the impulse response at the host rate for FFT length n:
//  - the first channel of each frame;
//  - leading samples of magnitude at most 0.01 dropped; from the first larger one at most n/2 samples;
//  - resampled to hostRate when the file's rate differs (at most n/2 samples), unless fewer than two
//    samples were kept, which are used as they are.
// `fileRate` receives the file's sample rate. Returns false, leaving `kept` empty, for an unreadable or
// invalid file, a file without any frame, a host rate that is not finite and positive, or n < 2.
// A file whose samples all stay within +-0.01 succeeds with nothing kept (a silent cabinet).
bool read_external_ir(const char* path, double hostRate, int n, std::vector<double>& kept, double& fileRate);

// The same steps on a reader that has already read a file.
bool external_ir_from_reader(WavReader& reader, double hostRate, int n, std::vector<double>& kept,
                             double& fileRate);

}  // namespace cabinet
