#include "shell/parameter_table.h"

#include "shell/program_record.h"

namespace tavik {

namespace {

constexpr ParameterInfo kTable[kNumParams] = {
    {"Input", nullptr, Display::Value, 0.5f, true},
    {"Channel", nullptr, Display::Value, 0.0f, true},
    {"Clean/Crunch", nullptr, Display::Value, 0.0f, true},
    {"Overdrive Boost", nullptr, Display::Value, 0.0f, true},
    {"Bright/Normal", nullptr, Display::Value, 0.0f, true},
    {"Drive1", nullptr, Display::Value, 0.5f, true},
    {"Drive2", nullptr, Display::Value, 0.5f, true},
    {"Low", nullptr, Display::Value, 0.5f, true},
    {"Mid", nullptr, Display::Value, 0.5f, true},
    {"High", nullptr, Display::Value, 0.5f, true},
    {"Contour", nullptr, Display::Value, 0.5f, true},
    {"Power Amp", nullptr, Display::Value, 0.5f, true},
    {"Volume", "dB", Display::Decibels, 0.5f, true},
    {"Mono/Stereo", nullptr, Display::None, 0.0f, false},
    {"LowQ/HighQ", nullptr, Display::Value, 0.0f, true},
    {"Phase1", nullptr, Display::Value, 0.0f, true},
    {"Phase2", nullptr, Display::Value, 0.0f, true},
    {"Volume1", nullptr, Display::Value, 0.5f, true},
    {"Volume2", nullptr, Display::Value, 0.5f, true},
    {"Pan1", nullptr, Display::Value, 0.0f, true},
    {"Pan2", nullptr, Display::Value, 1.0f, true},
    {nullptr, nullptr, Display::None, 0.0f, false},
    {nullptr, nullptr, Display::None, 0.0f, false},
    {"Freq HP1", nullptr, Display::None, 0.0f, true},
    {"Freq HP2", nullptr, Display::None, 0.0f, true},
    {"Freq LP1", nullptr, Display::None, 1.0f, true},
    {"Freq LP2", nullptr, Display::None, 1.0f, true},
    {"Bypass cab1", nullptr, Display::None, 1.0f, true},
    {"Bypass cab2", nullptr, Display::None, 1.0f, true},
    {nullptr, nullptr, Display::None, 0.0f, true},
    {nullptr, nullptr, Display::Value, 0.0f, true},
    {nullptr, nullptr, Display::Value, 0.0f, true},
    {"Int IR1/Ext IR1", nullptr, Display::None, 0.0f, true},
    {"Int IR2/Ext IR2", nullptr, Display::None, 0.0f, true},
};

}  // namespace

const ParameterInfo& parameterInfo(int32_t index) noexcept {
    return kTable[index];
}

}  // namespace tavik
