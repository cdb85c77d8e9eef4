// What hosts read about each of the 34 parameters: name, label, display kind, the value every program
// starts with and how a switch reads its value. The effect and the editor read the same rows.
#pragma once

#include <cstdint>

#include "effect/parameter_info.h"
#include "shell/program_record.h"

namespace tavik {

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
    {"Power Amp", nullptr, Display::Value, 0.5f},
    {"Volume", "dB", Display::Decibels, 0.5f},
    {"Mono/Stereo", nullptr, Display::None, 0.0f, false},
    {"LowQ/HighQ", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"Phase1", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"Phase2", nullptr, Display::Value, 0.0f, true, Switch::FromHalf},
    {"Volume1", nullptr, Display::Value, 0.5f},
    {"Volume2", nullptr, Display::Value, 0.5f},
    {"Pan1", nullptr, Display::Value, 0.0f},
    {"Pan2", nullptr, Display::Value, 1.0f},
    {nullptr, nullptr, Display::None, 0.0f, false, Switch::AboveHalf},  // load IR for cabinet 1: a trigger
    {nullptr, nullptr, Display::None, 0.0f, false, Switch::AboveHalf},  // load IR for cabinet 2
    {"Freq HP1", nullptr, Display::None, 0.0f},
    {"Freq HP2", nullptr, Display::None, 0.0f},
    {"Freq LP1", nullptr, Display::None, 1.0f},
    {"Freq LP2", nullptr, Display::None, 1.0f},
    {"Bypass cab1", nullptr, Display::None, 1.0f, true, Switch::FromHalf},
    {"Bypass cab2", nullptr, Display::None, 1.0f, true, Switch::FromHalf},
    {nullptr, nullptr, Display::None, 0.0f, true, Switch::AboveHalf},  // stereo link
    {nullptr, nullptr, Display::Value, 0.0f},                          // cabinet 1 delay
    {nullptr, nullptr, Display::Value, 0.0f},                          // cabinet 2 delay
    {"Int IR1/Ext IR1", nullptr, Display::None, 0.0f, true, Switch::AboveHalf},
    {"Int IR2/Ext IR2", nullptr, Display::None, 0.0f, true, Switch::AboveHalf},
};

constexpr const ParameterInfo& parameterInfo(int32_t index) noexcept { return kParameterTable[index]; }  // 0..33

// Whether a switch parameter reads v as on, by its row.
constexpr bool switchOn(int32_t index, float v) noexcept { return effect::isOn(kParameterTable[index].onAt, v); }

}  // namespace tavik
