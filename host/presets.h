// Presets between a plug-in and its files (the formats: preset_format.h).
#pragma once

#include <string>

#include "host/preset_format.h"

namespace vsthost {

class Plugin;

namespace fx {

// Reads the plug-in's state into a preset: a bank when `bank`, else its current program.
File capture(Plugin& plugin, bool bank);
// Applies a preset; the fxID must be the plug-in's uniqueID. `what` names the file in messages.
void apply(Plugin& plugin, const File& file, const std::string& what);

// The files: a name ending in .fxb saves a bank, any other a program; loading goes by content.
void save(Plugin& plugin, const std::string& path);
void load(Plugin& plugin, const std::string& path);

}  // namespace fx
}  // namespace vsthost
