// Where the preamp editor's controls sit, in creation (and drawing) order; the tag is the parameter index.
// Neighbouring knobs stand 49 to 51 pixels apart with 56-pixel frames, so their rectangles overlap a little.
#pragma once

#include "gui/control_table.h"

namespace tavik_preamp {

inline constexpr CCoord kEditorWidth = 660;
inline constexpr CCoord kEditorHeight = 175;

inline constexpr CControlRow kEditorControls[] = {
    {0, CControlRow::Kind::Knob, 1, 33, 89},             // Input
    {1, CControlRow::Kind::VerticalSwitch, 3, 77, 87},   // Channel
    {2, CControlRow::Kind::OnOff, 4, 145, 88},           // Clean/Crunch
    {3, CControlRow::Kind::OnOff, 4, 145, 120},          // Overdrive Boost
    {4, CControlRow::Kind::OnOff, 2, 329, 111},          // Bright/Normal
    {12, CControlRow::Kind::OnOff, 2, 575, 51},          // Mono/Stereo
    {5, CControlRow::Kind::Knob, 1, 205, 89},            // Drive1
    {6, CControlRow::Kind::Knob, 1, 255, 89},            // Drive2
    {10, CControlRow::Kind::Knob, 1, 351, 89},           // Contour
    {7, CControlRow::Kind::Knob, 1, 402, 89},            // Low
    {8, CControlRow::Kind::Knob, 1, 451, 89},            // Mid
    {9, CControlRow::Kind::Knob, 1, 500, 89},            // High
    {11, CControlRow::Kind::Knob, 1, 562, 89},           // Volume
    {13, CControlRow::Kind::OnOff, 2, 575, 31},          // LowQ/HighQ
};

}  // namespace tavik_preamp
