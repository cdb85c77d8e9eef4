#include "preamp/preamp_parameters.h"

#include <cstring>
#include <initializer_list>

#include "vst/value_format.h"

namespace tavik_preamp {

void initRecord(PreampProgramRecord& record) noexcept
{
    std::memset(&record, 0, sizeof(record));
    vst::copyText(record.name, "Init", kMaxNameLength);
    for (int32_t i = 0; i < kNumParams; ++i) record.values[i] = kParameterTable[i].init;
    for (double& m : record.memory.values) m = 0.5;
    for (PreampChannel c : {PreampChannel::Clean, PreampChannel::Crunch, PreampChannel::Overdrive})
        record.memory.at(c, kBright) = 0.0;
    record.memory.at(PreampChannel::Overdrive, kBoost) = 0.0;
}

void repairRecord(PreampProgramRecord& record) noexcept
{
    record.name[kMaxNameLength] = '\0';
    for (float& v : record.values) v = clampUnit(v);
    for (double& m : record.memory.values) {
        if (!(m > 0.0)) m = 0.0;
        if (m > 1.0) m = 1.0;
    }
}

}  // namespace tavik_preamp
