#pragma once
// Reading an external impulse response from a WAV file, up to the samples a cabinet will use. Touches no
// plug-in state: the caller installs the result only when this succeeds, so a bad file changes nothing.

#include <string>
#include <vector>

#include "cabinet/wav_reader.h"

namespace cabinet {

// Reads `path` and fills `kept` with the impulse response at the host rate for FFT length n:
//  - the first channel of each frame;
//  - leading samples of magnitude at most 0.01 dropped; from the first larger one as many samples as make
//    n/2 at the host rate (or the rest of the file, when shorter);
//  - resampled to hostRate when the file's rate differs, keeping at most n/2 samples, unless fewer than two
//    samples were kept, which are used as they are.
// Only the headers and the frames needed are read. `fileRate` receives the file's sample rate. Returns false,
// leaving `kept` empty and a short reason for the user in `*reason` (when given), for an unreadable or invalid
// file, a file without any frame, a host rate that is not finite and positive, or n < 2.
// A file whose samples all stay within +-0.01 succeeds with nothing kept (a silent cabinet).
bool read_external_ir(const char* path, double hostRate, int n, std::vector<double>& kept, double& fileRate,
                      std::string* reason = nullptr);

// The same steps on a reader that has opened (or read) a file; it reads the samples from the first one again.
bool external_ir_from_reader(WavReader& reader, double hostRate, int n, std::vector<double>& kept,
                             double& fileRate, std::string* reason = nullptr);

}  // namespace cabinet
