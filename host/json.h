// Small helpers for writing JSON by hand.
#pragma once

#include <string>
#include <string_view>

namespace vsthost {

// A quoted JSON string. Bytes that are not valid UTF-8 (plug-ins often use Latin-1) are read as Latin-1,
// so the result is always valid JSON.
std::string jsonString(std::string_view text);

// A JSON number, or null for NaN and infinities, which JSON cannot express.
std::string jsonNumber(double value);

}  // namespace vsthost
