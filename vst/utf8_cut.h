// Where to cut UTF-8 text so that no character is split: names in fixed-size fields are cut here.
#pragma once

#include <cstddef>

namespace vst {

// `n`, or less when the n bytes at `text` end inside a character: then up to where that character
// starts. Only the n bytes are read. Bytes that are not UTF-8 count as characters of one byte.
constexpr std::size_t utf8Complete(const char* text, std::size_t n) noexcept {
    auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t start = n;
    // A character is at most four bytes: a lead byte and up to three continuations (10xxxxxx).
    for (int k = 0; k < 3 && start > 0 && (byte(start - 1) & 0xc0u) == 0x80u; ++k) --start;
    if (start == 0) return n;
    const unsigned char lead = byte(start - 1);
    const std::size_t need = lead >= 0xf8u ? 1 : lead >= 0xf0u ? 4 : lead >= 0xe0u ? 3 : lead >= 0xc0u ? 2 : 1;
    if (need == 1) return n;  // ASCII or a stray continuation byte: nothing to complete
    return n - (start - 1) < need ? start - 1 : n;
}

// The longest prefix of the `length` bytes at `text` of at most `maxBytes` bytes that splits no character.
constexpr std::size_t utf8Cut(const char* text, std::size_t length, std::size_t maxBytes) noexcept {
    return length <= maxBytes ? length : utf8Complete(text, maxBytes);
}

}  // namespace vst
