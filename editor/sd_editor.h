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
    // Besides the window's events and values: runs a load the audio thread asked for, and keeps the labels
    // current (a refused load's message shows for a few seconds).
    void idle() override;

    // The label of cabinet 0 or 1 while the window is open, else null.
    CLabel* irLabel(int cabinet) const;

protected:
    // Brings up the two labels.
    void opened() override;
    void applyValue(int32_t tag, float value) override;

private:
    void showIrName(int cabinet);

    Tavik* tavik_;
    std::array<CLabel*, 2> labels_{};
    // Whether a label shows a refused load's message, to bring back its name when the message expires (a
    // name dropped on the label stays until then).
    std::array<bool, 2> messageShown_{};
};

}  // namespace tavik
