#include "preamp/preamp_parameters.h"

#include <cstring>
#include <initializer_list>

#include "vst/aeffect.h"
#include "vst/value_format.h"

namespace tavik_preamp {

namespace {

constexpr ParameterInfo kTable[kNumParams] = {
    {"Input", nullptr, Display::Value, 0.5f},
    {"Channel", nullptr, Display::Value, 0.0f},
    {"Clean/Crunch", nullptr, Display::Value, 0.0f},
    {"Overdrive Boost", nullptr, Display::Value, 0.0f},
    {"Bright/Normal", nullptr, Display::Value, 0.0f},
    {"Drive1", nullptr, Display::Value, 0.5f},
    {"Drive2", nullptr, Display::Value, 0.5f},
    {"Low", nullptr, Display::Value, 0.5f},
    {"Mid", nullptr, Display::Value, 0.5f},
    {"High", nullptr, Display::Value, 0.5f},
    {"Contour", nullptr, Display::Value, 0.5f},
    {"Volume", "dB", Display::Decibels, 0.5f},
    {"Mono/Stereo", nullptr, Display::Value, 0.0f},
    {"LowQ/HighQ", nullptr, Display::Value, 0.0f},
};

bool valid(int32_t index) noexcept { return index >= 0 && index < kNumParams; }

}  // namespace

const ParameterInfo& parameterInfo(int32_t index) noexcept { return kTable[index]; }

void writeParameterName(int32_t index, char* text) noexcept
{
    if (valid(index) && text) vst::copyText(text, kTable[index].name, 31);
}

void writeParameterLabel(int32_t index, char* text) noexcept
{
    if (valid(index) && text && kTable[index].label) vst::copyText(text, kTable[index].label, vst::kVstMaxParamStrLen);
}

void writeParameterDisplay(int32_t index, float value, char* text) noexcept
{
    if (!valid(index) || !text) return;
    if (kTable[index].display == Display::Decibels)
        vst::formatDecibels(value, text, vst::kVstMaxParamStrLen);
    else
        vst::formatValue(value, text, vst::kVstMaxParamStrLen);
}

void initRecord(PreampProgramRecord& record) noexcept
{
    std::memset(&record, 0, sizeof(record));
    vst::copyText(record.name, "Init", kMaxNameLength);
    for (int32_t i = 0; i < kNumParams; ++i) record.values[i] = kTable[i].init;
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
