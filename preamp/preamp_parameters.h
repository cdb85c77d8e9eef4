// What hosts read about each of the 14 parameters (name, label, display text, the value every program
// starts with), and how a stored record is brought back inside its valid range.
#pragma once

#include <cstdint>

#include "preamp/preamp_record.h"

#include "vst/value_format.h"

namespace tavik_preamp {

using vst::clampUnit;

enum class Display { Value, Decibels };

struct ParameterInfo {
    const char* name;
    const char* label;  // nullptr: nothing is written
    Display display;
    float init;
};

const ParameterInfo& parameterInfo(int32_t index) noexcept;  // index must be 0..13

// Text answers to the host; an index outside 0..13 writes nothing.
void writeParameterName(int32_t index, char* text) noexcept;
void writeParameterLabel(int32_t index, char* text) noexcept;
void writeParameterDisplay(int32_t index, float value, char* text) noexcept;

// The program every record holds after construction: "Init", Clean, mono, LowQ, knobs at 0.5.
void initRecord(PreampProgramRecord& record) noexcept;

// Makes a record from outside (a host's chunk) safe to use: the name ends inside its field and every
// value and memory lies in 0..1 (NaN as 0).
void repairRecord(PreampProgramRecord& record) noexcept;

}  // namespace tavik_preamp
