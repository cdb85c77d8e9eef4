// Told by a control when the user changes it, and when a gesture (a drag, a press) begins and ends.
#pragma once

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    virtual void controlBeginEdit(CControl* control) { (void)control; }
    virtual void controlEndEdit(CControl* control) { (void)control; }
};
