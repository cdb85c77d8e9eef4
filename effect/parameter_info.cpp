#include "effect/parameter_info.h"

#include "vst/aeffect.h"
#include "vst/value_format.h"

namespace effect {

void writeName(const ParameterInfo& info, char* text) noexcept
{
    if (text && info.name) vst::copyText(text, info.name, 31);
}

void writeLabel(const ParameterInfo& info, char* text) noexcept
{
    if (text && info.label) vst::copyText(text, info.label, vst::kVstMaxParamStrLen);
}

void writeDisplay(const ParameterInfo& info, float value, char* text) noexcept
{
    if (!text) return;
    switch (info.display) {
    case Display::Value:
        vst::formatValue(value, text, vst::kVstMaxParamStrLen);
        break;
    case Display::Decibels:
        vst::formatDecibels(value, text, vst::kVstMaxParamStrLen);
        break;
    case Display::None:
        break;
    }
}

}  // namespace effect
