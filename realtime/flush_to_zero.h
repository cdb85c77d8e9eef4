// Flush-to-zero and denormals-are-zero for the length of one process call. Numbers below the normal range
// cost the processor many times a normal operation; recursive filters decaying on silence produce them by the
// million. The host's own floating-point mode is restored on return.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace realtime {

class ScopedFlushToZero {
public:
#if defined(__SSE__) || defined(__x86_64__)
    ScopedFlushToZero() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~ScopedFlushToZero() { _mm_setcsr(saved_); }

private:
    static constexpr unsigned kFlushToZero = 0x8000u;
    static constexpr unsigned kDenormalsAreZero = 0x0040u;
    unsigned saved_;
#else
    ScopedFlushToZero() noexcept = default;
#endif

public:
    ScopedFlushToZero(const ScopedFlushToZero&) = delete;
    ScopedFlushToZero& operator=(const ScopedFlushToZero&) = delete;
};

}  // namespace realtime
