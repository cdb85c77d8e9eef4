#include "cabinet/builtin_irs.h"

#include <algorithm>
#include <vector>

#include "cabinet/resample_ir.h"

namespace cabinet {
namespace {

const double kTables[2][kBuiltinIrLength] = {
#include "cabinet/builtin_irs_data.inc"
};

}  // namespace

const double* builtin_ir(int cabinet) noexcept
{
    return cabinet == 0 || cabinet == 1 ? kTables[cabinet] : nullptr;
}

const char* builtin_ir_name(int cabinet) noexcept
{
    if (cabinet == 0) return "Tavik_IR_Center(Alu)";
    if (cabinet == 1) return "Tavik_IR_Edge(Alu)";
    return "";
}

void fill_builtin_ir(int cabinet, double fs, double* time, int n)
{
    if (n <= 0) return;
    std::fill(time, time + n, 0.0);
    const double* table = builtin_ir(cabinet);
    if (table == nullptr) return;
    const int copied = std::min({n / 2 + 1, kBuiltinIrLength, n});
    std::copy(table, table + copied, time);
    if (kBuiltinIrRate / fs == 1.0) return;

    // The table followed by zeros, as many samples as the longer of the table and the IR length limit.
    std::vector<double> source(static_cast<std::size_t>(std::max(kBuiltinIrLength, n / 2)), 0.0);
    std::copy(time, time + copied, source.begin());
    const int limit = n / 2;
    const std::vector<double> resampled =
        resample_ir(source.data(), static_cast<int>(source.size()), fs, kBuiltinIrRate, limit);
    const int used = std::min(static_cast<int>(resampled.size()), limit) - 1;
    std::fill(time, time + n, 0.0);
    if (used > 0) std::copy(resampled.begin(), resampled.begin() + used, time);
}

}  // namespace cabinet
