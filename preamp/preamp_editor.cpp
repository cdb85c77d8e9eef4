#include "preamp/preamp_editor.h"

#include "preamp/preamp_editor_layout.h"
#include "preamp/preamp_effect.h"
#include "resources/art.h"

namespace tavik_preamp {

SDEditor::SDEditor(Tavik* effect) : CTableEditor(effect, preampArt(), kEditorControls, kNumParams) {}

}  // namespace tavik_preamp
