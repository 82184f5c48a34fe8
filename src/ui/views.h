#pragma once

#include "ui/types.h"

namespace talvorin::ui {

class Control;
class Form;

// What the widgets tell the front end that shows them, so it can draw or record. A front
// end tells the kinds of control apart through a ConstControlVisitor. A form is "showing"
// before its show handler runs and "shown" once it has run.
class Views {
public:
    virtual ~Views() = default;

    virtual void controlChanged(const Control&, Change) {}
    virtual void focusChanged(const Form&, const Control*) {}
    virtual void formShowing(Form&) {}
    virtual void formShown(const Form&) {}
    virtual void formMoved(const Form&) {}
    virtual void formClosed(const Form&) {}
    // Before the control or form is gone.
    virtual void controlRemoved(const Control&) {}
    virtual void formDestroyed(const Form&) {}
};

}  // namespace talvorin::ui
