#include "ui/form.h"

#include <algorithm>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/views.h"

namespace talvorin::ui {

Form::Form(Backend& backend, std::string name, std::string caption)
    : backend_(backend), name_(std::move(name)), caption_(std::move(caption))
{
}

Form::~Form() { backend_.views().formDestroyed(*this); }

void Form::remove(Control& c)
{
    backend_.views().controlRemoved(c);
    std::erase(controls_, &c);
    if (active_ == &c) active_ = nullptr;
    if (pendingTarget_ == &c) pendingTarget_ = nullptr;
}

Control* Form::findControl(const std::string& name) const
{
    auto it = std::find_if(controls_.begin(), controls_.end(), [&](const Control* c) { return c->name() == name; });
    return it == controls_.end() ? nullptr : *it;
}

bool Form::focus(Control& target)
{
    if (!target.canFocus()) return false;
    const unsigned ticket = ++focusRequests_;
    if (active_ == &target) return true;
    Control* leaving = active_;
    if (leaving && leaving->onExit && pendingTarget_ == nullptr) {
        pendingTarget_ = &target;
        leaving->onExit();
        pendingTarget_ = nullptr;
        // The exit handler chose where the focus goes. Put back into the field being left,
        // it comes back there as far as the person sees (its text selected again).
        if (focusRequests_ != ticket) {
            if (active_ == leaving) backend_.views().focusChanged(*this, active_);
            return active_ == &target;
        }
        if (!target.canFocus()) return false;
    }
    active_ = &target;
    backend_.views().focusChanged(*this, active_);
    return true;
}

void Form::moveTo(int left, int top)
{
    left_ = left;
    top_ = top;
    backend_.views().formMoved(*this);
}

void Form::centreOnScreen()
{
    const Size screen = backend_.screenSize();
    const Size window = backend_.windowSize(*this);
    // Integer division truncates toward zero, also for a window larger than the screen.
    moveTo((screen.width - window.width) / 2, (screen.height - window.height) / 2);
}

void Form::show()
{
    showing_ = true;
    closed_ = false;
    // The window exists before the show handler fills it, and appears once it is filled.
    backend_.views().formShowing(*this);
    FormShow();
    if (!closed_) backend_.views().formShown(*this);
}

void Form::close()
{
    if (closed_) return;
    FormClose();
    closed_ = true;
    showing_ = false;
    backend_.views().formClosed(*this);
}

ModalResult Form::showModal()
{
    modalResult_ = ModalResult::None;
    return backend_.showModal(*this);
}

void Form::pressEnter()
{
    if (auto* focused = as<Button>(active_)) return focused->click();
    for (Control* c : controls_)
        if (auto* b = as<Button>(c); b && b->isDefault) return b->click();
}

void Form::pressEscape()
{
    for (Control* c : controls_)
        if (auto* b = as<Button>(c); b && b->isCancel) return b->click();
    modalResult_ = ModalResult::Cancel;
}

void Form::clickButton(Button& button)
{
    if (button.canFocus() && !focus(button)) return;
    button.click();
}

void Form::clickCloseBox()
{
    if (systemMenu) modalResult_ = ModalResult::Cancel;
}

void Form::pressTab() { tabFrom(1); }
void Form::pressShiftTab() { tabFrom(-1); }

void Form::tabFrom(int step)
{
    if (controls_.empty()) return;
    const auto n = static_cast<int>(controls_.size());
    const auto start = std::find(controls_.begin(), controls_.end(), active_);
    // Without a focused control, Tab starts before the first one and Shift+Tab after the last.
    int i = start == controls_.end() ? (step > 0 ? -1 : n) : static_cast<int>(start - controls_.begin());
    for (int k = 1; k <= n; ++k) {
        Control* c = controls_[static_cast<std::size_t>(((i + step * k) % n + n) % n)];
        if (c->tabStop && c->canFocus()) {
            focus(*c);
            return;
        }
    }
}

}  // namespace talvorin::ui
