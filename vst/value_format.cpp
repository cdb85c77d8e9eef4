#include "vst/value_format.h"

#include <cmath>
#include <cstring>

#include "vst/utf8_cut.h"

namespace vst {

namespace {
constexpr int kBudget = 8;
}

void copyText(char* dest, const char* src, int maxLen) noexcept {
    if (!dest || maxLen < 0) return;
    std::size_t n = 0;
    if (src) {
        const auto limit = static_cast<std::size_t>(maxLen);
        n = strnlen(src, limit);
        if (n == limit) n = utf8Complete(src, n);  // perhaps cut: no half character at the end
        std::memcpy(dest, src, n);
    }
    dest[n] = '\0';
}

void formatValue(float value, char* text, int maxLen) noexcept {
    if (!text) return;
    double v = value;
    if ((v < 0 && -v > 9999999.0) || v > 99999999.0 || std::isnan(v)) {
        copyText(text, "Huge!", maxLen);
        return;
    }
    // Digits are produced from the least significant end into the tail of a scratch buffer.
    char buf[64];
    char* end = buf + sizeof(buf) - 1;
    *end = '\0';
    char* s = end;
    int used = 0;
    bool negative = v < 0;
    if (negative) {
        v = -v;
        ++used;
    }
    *--s = '.';
    ++used;
    double integer = std::floor(v);
    *--s = static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
    integer /= 10.0;
    ++used;
    while (integer >= 1.0 && used < kBudget) {
        *--s = static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
        integer /= 10.0;
        ++used;
    }
    if (negative) *--s = '-';

    char out[80];
    std::strcpy(out, s);
    if (used < kBudget) {
        char frac[16];
        char* f = frac + sizeof(frac) - 1;
        *f = '\0';
        double mantissa = std::fmod(v, 1.0) * std::pow(10.0, static_cast<double>(kBudget - used));
        for (; used < kBudget; ++used) {
            if (mantissa <= 0) {
                *--f = '0';
            } else {
                *--f = static_cast<char>('0' + static_cast<int>(std::fmod(mantissa, 10.0)));
                mantissa /= 10.0;
            }
        }
        std::strcat(out, f);
    }
    copyText(text, out, maxLen);
}

void formatDecibels(float value, char* text, int maxLen) noexcept {
    if (!text) return;
    if (!(value > 0.0f)) {
        copyText(text, "-oo", maxLen);
        return;
    }
    formatValue(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

}  // namespace vst
