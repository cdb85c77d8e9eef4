#include "gui/control_table.h"

#include "gui/anim_knob.h"
#include "gui/bitmap.h"
#include "gui/kick_button.h"
#include "gui/on_off_button.h"
#include "gui/vertical_switch.h"

std::shared_ptr<CBitmap> CBitmapCache::bitmap(int32_t id) {
    for (const auto& [loadedId, cached] : loaded_)
        if (loadedId == id) return cached;
    auto loaded = std::make_shared<CBitmap>(resources_, id);
    loaded_.emplace_back(id, loaded);
    return loaded;
}

CControl* createControl(const CControlRow& row, CBitmapCache& bitmaps, CControlListener* listener) {
    std::shared_ptr<CBitmap> bitmap = bitmaps.bitmap(row.bitmap);
    const int32_t frames = row.kind == CControlRow::Kind::Knob ? kKnobFrames : kSwitchFrames;
    const CCoord frameHeight = bitmap->getHeight() / frames;
    const CRect size = CRect::fromSize(row.left, row.top, bitmap->getWidth(), frameHeight);
    switch (row.kind) {
    case CControlRow::Kind::Knob:
        return new CAnimKnob(size, listener, row.tag, frames, frameHeight, std::move(bitmap));
    case CControlRow::Kind::OnOff:
        return new COnOffButton(size, listener, row.tag, std::move(bitmap), row.onAboveHalf);
    case CControlRow::Kind::VerticalSwitch:
        return new CVerticalSwitch(size, listener, row.tag, frames, frameHeight, frames, std::move(bitmap));
    case CControlRow::Kind::Kick:
        return new CKickButton(size, listener, row.tag, frameHeight, std::move(bitmap));
    }
    return nullptr;
}
