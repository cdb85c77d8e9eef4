// Text forms of parameter values shown by hosts.
#pragma once

namespace vst {

// Writes v as decimal text of at most maxLen characters (plus the terminator): sign, integer part and
// point take their share of an 8-character budget and the fraction fills the rest, truncated rather
// than rounded. Magnitudes too large to show become "Huge!".
void formatValue(float v, char* text, int maxLen) noexcept;

// 20*log10(v) through formatValue, or "-oo" for v <= 0.
void formatDecibels(float v, char* text, int maxLen) noexcept;

// Hosts may send any float; a value an effect works with is always inside 0..1, and NaN counts as 0.
constexpr float clampUnit(float v) noexcept {
    if (!(v > 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

// Copies at most maxLen bytes of src, never half a UTF-8 character, and always terminates dest (dest
// holds maxLen + 1 bytes).
void copyText(char* dest, const char* src, int maxLen) noexcept;

}  // namespace vst
