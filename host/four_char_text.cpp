#include "host/four_char_text.h"

namespace vsthost {

std::string fourCharText(int32_t code) {
    std::string text(4, '?');
    const auto bits = static_cast<uint32_t>(code);
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>((bits >> (24 - 8 * i)) & 0xffu);
        if (c >= 0x20 && c < 0x7f) text[static_cast<std::size_t>(i)] = static_cast<char>(c);
    }
    return text;
}

}  // namespace vsthost
