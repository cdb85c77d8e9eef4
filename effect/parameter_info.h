// What hosts read about a parameter, and how a switch reads its value: one row per parameter in each
// plug-in's table, read by the effect and its editor alike.
#pragma once

#include <cstdint>

namespace effect {

enum class Display : std::uint8_t { None, Value, Decibels };

// How a two-state parameter reads its 0..1 value; None for a continuous one.
enum class Switch : std::uint8_t { None, FromHalf, AboveHalf };

constexpr bool isOn(Switch rule, float v) noexcept { return rule == Switch::AboveHalf ? v > 0.5f : v >= 0.5f; }

struct ParameterInfo {
    const char* name;   // nullptr: the host's buffer is left as it was
    const char* label;  // nullptr: nothing is written
    Display display;
    float init;         // the value every program starts with
    bool hasValue = true;  // false: getParameter answers 0
    Switch onAt = Switch::None;
};

// Text answers to the host for one row.
void writeName(const ParameterInfo& info, char* text) noexcept;
void writeLabel(const ParameterInfo& info, char* text) noexcept;
void writeDisplay(const ParameterInfo& info, float value, char* text) noexcept;

}  // namespace effect
