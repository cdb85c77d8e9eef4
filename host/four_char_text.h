// Four-character codes (plug-in IDs, preset kinds) as text.
#pragma once

#include <cstdint>
#include <string>

namespace vsthost {

// The text of a four-character code, first character from the most significant byte; bytes that
// are not printable ASCII show as '?'.
std::string fourCharText(int32_t code);

}  // namespace vsthost
