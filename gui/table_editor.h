// An editor made of one background bitmap and a table of bitmap controls, one per parameter, each
// control's tag being its parameter index. Both directions of update meet in one loop: a control the user
// moves sets its parameter through setParameterAutomated (which also tells the host), the effect's
// setParameter ends by calling this editor's setParameter, and the next idle sets the control to the
// value the effect now holds, so controls show the effect's corrections (a forced or linked value).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "gui/aeff_gui_editor.h"
#include "gui/control_listener.h"
#include "gui/control_table.h"

class CBitmap;
class CControl;

class CTableEditor : public AEffGUIEditor, public CControlListener {
public:
    static constexpr int32_t kBackgroundBitmap = 128;

    // The editor rectangle is the size of the background bitmap. Registers itself with the effect.
    CTableEditor(vst::AudioEffect* effect, const CResourceTable& art, std::span<const CControlRow> rows,
                 int32_t numParams);
    ~CTableEditor() override;

    // Builds the frame in the host's window and every control of the table, in order, each set to the
    // effect's value; false (and nothing built) when the window cannot be made.
    bool open(void* parentWindow) override;
    void close() override;
    // Knobs always drag in a straight line, whatever the host asks.
    bool setKnobMode(int32_t mode) override;
    // Any thread: posts the effect's live value of the parameter for the next idle; the value passed is
    // not used. Indices without a control change nothing.
    void setParameter(int32_t index, float value) override;
    // The user moved a control: the effect takes the value and the host is told.
    void valueChanged(CControl* control) override;

    // The control of a parameter while the window is open, else null.
    CControl* control(int32_t index) const;
    int32_t numParams() const { return numParams_; }

protected:
    // Called at the end of a successful open.
    virtual void opened() {}
    void applyValue(int32_t tag, float value) override;
    const CResourceTable& art() const { return art_; }

private:
    const CResourceTable& art_;
    std::span<const CControlRow> rows_;
    int32_t numParams_;
    std::shared_ptr<CBitmap> background_;
    std::array<CControl*, kMaxTags> controls_{};
};
