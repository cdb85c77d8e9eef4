// What hosts read about each of the 34 parameters: name, label, display kind and the value every program
// starts with.
#pragma once

#include <cstdint>

namespace tavik {

enum class Display { None, Value, Decibels };

struct ParameterInfo {
    const char* name;  // nullptr: the host's buffer is left as it was
    const char* label;
    Display display;
    float init;
    bool hasValue;
};

const ParameterInfo& parameterInfo(int32_t index) noexcept;  // index must be 0..33

}  // namespace tavik
