#include "host/json.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vsthost {
namespace {

// Length of the valid UTF-8 sequence at `i`, or 0 if the byte there does not start one.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    uint32_t code = 0;
    if (c < 0x80) return 1;
    if ((c & 0xe0) == 0xc0) n = 2, code = c & 0x1fu;
    else if ((c & 0xf0) == 0xe0) n = 3, code = c & 0x0fu;
    else if ((c & 0xf8) == 0xf0) n = 4, code = c & 0x07u;
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto cont = static_cast<unsigned char>(s[i + k]);
        if ((cont & 0xc0) != 0x80) return 0;
        code = (code << 6) | (cont & 0x3fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
    static constexpr uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[n] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    return n;
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            ++i;
        } else if (const std::size_t n = utf8Length(text, i); n > 0) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            ++i;
        }
    }
    out += '"';
    return out;
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace vsthost
