// An editor's layout as a table: one row per control, turned into controls that share their bitmaps.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "gui/geometry.h"
#include "gui/resource.h"

class CBitmap;
class CControl;
class CControlListener;

struct CControlRow {
    enum class Kind { Knob, OnOff, VerticalSwitch, Kick };
    int32_t tag;
    Kind kind;
    int32_t bitmap;  // resource number
    CCoord left;
    CCoord top;
    bool onAboveHalf = false;  // an OnOff switch the effect reads as on only above 0.5
};

// Each resource is loaded once, however many controls draw with it.
class CBitmapCache {
public:
    explicit CBitmapCache(const CResourceTable& resources) : resources_(resources) {}
    std::shared_ptr<CBitmap> bitmap(int32_t id);

private:
    const CResourceTable& resources_;
    std::vector<std::pair<int32_t, std::shared_ptr<CBitmap>>> loaded_;
};

// Knobs have 63 frames, everything else 2; the control's size is one frame of its bitmap.
constexpr int32_t kKnobFrames = 63;
constexpr int32_t kSwitchFrames = 2;

CControl* createControl(const CControlRow& row, CBitmapCache& bitmaps, CControlListener* listener);
