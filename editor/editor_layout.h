// Where the full-stack editor's controls sit: one row per control in creation (and drawing) order, the
// tag being the parameter index, and the rectangles of the two impulse-response name labels.
#pragma once

#include "gui/control_table.h"
#include "shell/parameter_table.h"

namespace tavik {

inline constexpr CCoord kEditorWidth = 660;
inline constexpr CCoord kEditorHeight = 417;

// A switch button shows "on" exactly where the effect reads the parameter as on.
constexpr bool onAboveHalf(int32_t index) noexcept { return parameterInfo(index).onAt == Switch::AboveHalf; }

inline constexpr CControlRow kEditorControls[] = {
    {0, CControlRow::Kind::Knob, 1, 33, 164},             // Input
    {1, CControlRow::Kind::VerticalSwitch, 3, 77, 162},   // Channel
    {2, CControlRow::Kind::OnOff, 4, 144, 164},           // Clean/Crunch
    {3, CControlRow::Kind::OnOff, 4, 144, 194},           // Overdrive Boost
    {4, CControlRow::Kind::OnOff, 2, 312, 186},           // Bright/Normal
    {5, CControlRow::Kind::Knob, 1, 199, 164},            // Drive1
    {6, CControlRow::Kind::Knob, 1, 249, 164},            // Drive2
    {10, CControlRow::Kind::Knob, 1, 328, 164},           // Contour
    {7, CControlRow::Kind::Knob, 1, 379, 164},            // Low
    {8, CControlRow::Kind::Knob, 1, 428, 164},            // Mid
    {9, CControlRow::Kind::Knob, 1, 477, 164},            // High
    {11, CControlRow::Kind::Knob, 1, 524, 164},           // Power Amp
    {12, CControlRow::Kind::Knob, 1, 570, 164},           // Volume
    {14, CControlRow::Kind::OnOff, 8, 238, 21},           // LowQ/HighQ
    {27, CControlRow::Kind::OnOff, 7, 26, 290},           // Bypass cab1
    {28, CControlRow::Kind::OnOff, 7, 353, 290},          // Bypass cab2
    {21, CControlRow::Kind::Kick, 6, 62, 292},            // load IR for cabinet 1
    {22, CControlRow::Kind::Kick, 6, 390, 292},           // load IR for cabinet 2
    {15, CControlRow::Kind::OnOff, 5, 270, 299},          // Phase1
    {16, CControlRow::Kind::OnOff, 5, 597, 299},          // Phase2
    {17, CControlRow::Kind::Knob, 1, 250, 322},           // Volume1
    {18, CControlRow::Kind::Knob, 1, 577, 322},           // Volume2
    {19, CControlRow::Kind::Knob, 1, 199, 322},           // Pan1
    {23, CControlRow::Kind::Knob, 1, 80, 322},            // Freq HP1
    {25, CControlRow::Kind::Knob, 1, 143, 322},           // Freq LP1
    {20, CControlRow::Kind::Knob, 1, 523, 322},           // Pan2
    {24, CControlRow::Kind::Knob, 1, 409, 322},           // Freq HP2
    {26, CControlRow::Kind::Knob, 1, 466, 322},           // Freq LP2
    {29, CControlRow::Kind::OnOff, 8, 488, 21, onAboveHalf(29)},     // stereo link
    {30, CControlRow::Kind::Knob, 1, 26, 322},            // cabinet 1 delay
    {31, CControlRow::Kind::Knob, 1, 353, 322},           // cabinet 2 delay
    {32, CControlRow::Kind::OnOff, 8, 143, 270, onAboveHalf(32)},    // Int IR1/Ext IR1
    {33, CControlRow::Kind::OnOff, 8, 468, 270, onAboveHalf(33)},    // Int IR2/Ext IR2
};

inline constexpr CRect kIrLabelRect[2] = {{115, 298, 260, 316}, {443, 298, 588, 316}};

}  // namespace tavik
