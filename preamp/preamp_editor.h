// The preamp-only plug-in's editor: one panel with fourteen controls, one per parameter
// (preamp_editor_layout.h).
#pragma once

#include "gui/table_editor.h"

namespace tavik_preamp {

class Tavik;

class SDEditor final : public CTableEditor {
public:
    explicit SDEditor(Tavik* effect);
};

}  // namespace tavik_preamp
