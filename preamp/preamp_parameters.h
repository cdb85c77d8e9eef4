// What hosts read about each of the 14 parameters (name, label, display text, the value every program
// starts with, how a switch reads its value), and how a stored record is brought back inside its valid range.
#pragma once

#include <cstdint>

#include "effect/parameter_info.h"
#include "preamp/preamp_record.h"
#include "vst/value_format.h"

namespace tavik_preamp {

using vst::clampUnit;
using effect::Display;
using effect::ParameterInfo;
using effect::Switch;

inline constexpr ParameterInfo kParameterTable[kNumParams] = {
    {"Input", nullptr, Display::Value, 0.5f},
    {"Channel", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"Clean/Crunch", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"Overdrive Boost", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"Bright/Normal", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"Drive1", nullptr, Display::Value, 0.5f},
    {"Drive2", nullptr, Display::Value, 0.5f},
    {"Low", nullptr, Display::Value, 0.5f},
    {"Mid", nullptr, Display::Value, 0.5f},
    {"High", nullptr, Display::Value, 0.5f},
    {"Contour", nullptr, Display::Value, 0.5f},
    {"Volume", "dB", Display::Decibels, 0.5f},
    {"Mono/Stereo", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"LowQ/HighQ", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
};

constexpr const ParameterInfo& parameterInfo(int32_t index) noexcept { return kParameterTable[index]; }  // 0..13

// Whether a switch parameter reads v as on, by its row.
constexpr bool switchOn(int32_t index, float v) noexcept { return effect::isOn(kParameterTable[index].onAt, v); }

// The program every record holds after construction: "Init", Clean, mono, LowQ, knobs at 0.5.
void initRecord(PreampProgramRecord& record) noexcept;

// Makes a record from outside (a host's chunk) safe to use: the name ends inside its field and every
// value and memory lies in 0..1 (NaN as 0).
void repairRecord(PreampProgramRecord& record) noexcept;

}  // namespace tavik_preamp
