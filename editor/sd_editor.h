// The full-stack plug-in's editor: the amp panel with its 33 controls (editor_layout.h) and, over each
// cabinet's section, a label naming the impulse response the cabinet plays.
#pragma once

#include <array>

#include "gui/table_editor.h"

namespace tavik {

class CLabel;
class Tavik;

class SDEditor final : public CTableEditor {
public:
    explicit SDEditor(Tavik* effect);

    void close() override;

    // The label of cabinet 0 or 1 while the window is open, else null.
    CLabel* irLabel(int cabinet) const;

protected:
    // Re-applies both impulse-response source switches, which brings up the two labels.
    void opened() override;
    void applyValue(int32_t tag, float value) override;

private:
    void showIrName(int cabinet);

    Tavik* tavik_;
    std::array<CLabel*, 2> labels_{};
};

}  // namespace tavik
