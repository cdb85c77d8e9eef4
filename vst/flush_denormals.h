// Flush-to-zero and denormals-are-zero for the length of one process call. Numbers below the normal range
// cost the processor many times a normal operation; recursive filters decaying on silence produce them by the
// million. The host's own floating-point mode is restored on return.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace vst {

class ScopedFlushDenormals {
public:
#if defined(__SSE__) || defined(__x86_64__)
    ScopedFlushDenormals() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~ScopedFlushDenormals() { _mm_setcsr(saved_); }

private:
    static constexpr unsigned kFlushToZero = 0x8000u;
    static constexpr unsigned kDenormalsAreZero = 0x0040u;
    unsigned saved_;
#else
    ScopedFlushDenormals() noexcept = default;
#endif

public:
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;
};

}  // namespace vst
