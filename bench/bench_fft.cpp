// One forward plus one inverse real transform (what a cabinet block costs in transforms), ours against
// FFTW's r2c/c2r plans as the yardstick and against the radix-2 transform ours replaced.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <random>
#include <vector>

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
void BM_ForwardInverse(benchmark::State& state)
{
    Fft fft;
    std::vector<double> x = noise(Fft::kSize), f(x.size()), y(x.size());
    for (auto _ : state) {
        fft.forward(x.data(), f.data());
        fft.inverse(f.data(), y.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
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

}  // namespace

BENCHMARK(BM_ForwardInverse<cabinet::RealFft2048>)->Name("fft/ours/2048")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fftw)->Name("fft/fftw/2048")->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ForwardInverse<cabinet::reference::RealFft2048>)
    ->Name("fft/replaced/2048")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ForwardInverse<cabinet::RealFft4096>)->Name("fft/ours/4096")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fftw)->Name("fft/fftw/4096")->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ForwardInverse<cabinet::reference::RealFft4096>)
    ->Name("fft/replaced/4096")
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
