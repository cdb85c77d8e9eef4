#pragma once
// The two built-in cabinet impulse responses (1031 samples at 44100 Hz each) and their set-up for a host rate.
// Cabinet indices are 0 (cabinet 1, cone centre) and 1 (cabinet 2, cone edge).

namespace cabinet {

inline constexpr int kBuiltinIrLength = 1031;
inline constexpr double kBuiltinIrRate = 44100.0;

// The table of a cabinet, or nullptr for an index other than 0 and 1.
const double* builtin_ir(int cabinet) noexcept;

// "Tavik_IR_Center(Alu)" for cabinet 0, "Tavik_IR_Edge(Alu)" for cabinet 1, "" otherwise.
const char* builtin_ir_name(int cabinet) noexcept;

// Fills `time` (n doubles, the cabinet's time buffer for FFT length n) with the built-in response at rate fs:
// the first min(n/2 + 1, 1031) samples at 44100 Hz; at any other rate the first max(1031, n/2) samples of that
// (zero-padded) are resampled and the first L - 1 of them kept, L = min(m, n/2). The rest of `time` is zero.
// May throw std::bad_alloc (the resampling allocates).
void fill_builtin_ir(int cabinet, double fs, double* time, int n);

}  // namespace cabinet
