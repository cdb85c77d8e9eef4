// The editors' bitmaps, built into each plug-in from the PNG files beside this header. Numbers:
// 128 background, 1 knob film strip, 2 small light button, 3 channel switch, 4 mini toggle,
// 5 phase button, 6 load button, 7 cabinet on/off button, 8 slide switch.
#pragma once

#include "gui/resource.h"

const CResourceTable& fullStackArt();
const CResourceTable& preampArt();
