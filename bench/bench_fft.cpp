// One forward plus one inverse real transform, ours (on the widest vectors the processor has, and on SSE2)
// against FFTW's r2c/c2r plans as the yardstick and against the radix-2 transform ours replaced.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <random>
#include <vector>

#include "bench_support.h"
#include "cabinet/real_fft.h"
#include "reference_real_fft.h"

namespace {

std::vector<double> noise(int n)
{
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> v(static_cast<std::size_t>(n));
    for (double& s : v) s = dist(gen);
    return v;
}

template <class Fft>
void forwardInverse(benchmark::State& state, Fft& fft)
{
    std::vector<double> x = noise(Fft::kSize), f(x.size()), y(x.size());
    for (auto _ : state) {
        fft.forward(x.data(), f.data());
        fft.inverse(f.data(), y.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
}

template <class Fft>
void BM_Ours(benchmark::State& state)
{
    Fft fft;
    forwardInverse(state, fft);
    state.SetLabel(fft.usesAvx() ? "AVX" : "SSE2");
}

template <class Fft>
void BM_OursSse2(benchmark::State& state)
{
    Fft fft(cabinet::FftVectors::Sse2);
    forwardInverse(state, fft);
}

template <class Fft>
void BM_Replaced(benchmark::State& state)
{
    Fft fft;
    forwardInverse(state, fft);
}

void BM_Fftw(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    double* x = fftw_alloc_real(static_cast<std::size_t>(n));
    double* y = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* f = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    fftw_plan forward = fftw_plan_dft_r2c_1d(n, x, f, FFTW_MEASURE);
    fftw_plan inverse = fftw_plan_dft_c2r_1d(n, f, y, FFTW_MEASURE);
    const std::vector<double> input = noise(n);
    std::copy(input.begin(), input.end(), x);
    for (auto _ : state) {
        fftw_execute(forward);
        fftw_execute(inverse);  // c2r destroys its input; the next forward rewrites it
        benchmark::DoNotOptimize(y);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
    fftw_free(x);
    fftw_free(y);
    fftw_free(f);
}

void leastOfNine(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMicrosecond);
    bench::leastOfNine(b);
}

}  // namespace

BENCHMARK(BM_Ours<cabinet::RealFft2048>)->Name("fft/ours/2048")->Apply(leastOfNine);
BENCHMARK(BM_OursSse2<cabinet::RealFft2048>)->Name("fft/ours-sse2/2048")->Apply(leastOfNine);
BENCHMARK(BM_Fftw)->Name("fft/fftw/2048")->Arg(2048)->Apply(leastOfNine);
BENCHMARK(BM_Replaced<cabinet::reference::RealFft2048>)->Name("fft/replaced/2048")->Apply(leastOfNine);
BENCHMARK(BM_Ours<cabinet::RealFft4096>)->Name("fft/ours/4096")->Apply(leastOfNine);
BENCHMARK(BM_OursSse2<cabinet::RealFft4096>)->Name("fft/ours-sse2/4096")->Apply(leastOfNine);
BENCHMARK(BM_Fftw)->Name("fft/fftw/4096")->Arg(4096)->Apply(leastOfNine);
BENCHMARK(BM_Replaced<cabinet::reference::RealFft4096>)->Name("fft/replaced/4096")->Apply(leastOfNine);

BENCHMARK_MAIN();
