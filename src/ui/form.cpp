#include "ui/form.h"

#include <algorithm>

#include "ui/backend.h"
#include "ui/controls.h"

namespace talvorin::ui {

Form::Form(Backend& backend, std::string name, std::string caption)
    : backend_(backend), name_(std::move(name)), caption_(std::move(caption))
{
}

void Form::remove(Control& c)
{
    std::erase(controls_, &c);
    if (active_ == &c) active_ = nullptr;
    if (pendingTarget_ == &c) pendingTarget_ = nullptr;
}

Control* Form::findControl(const std::string& name) const
{
    auto it = std::find_if(controls_.begin(), controls_.end(),
                           [&](const Control* c) { return c->name() == name; });
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
        // The exit handler chose where the focus goes.
        if (focusRequests_ != ticket) return active_ == &target;
        if (!target.canFocus()) return false;
    }
    active_ = &target;
    backend_.focusChanged(*this, active_);
    return true;
}

void Form::show()
{
    showing_ = true;
    closed_ = false;
    backend_.formShown(*this);
    FormShow();
}

void Form::close()
{
    if (closed_) return;
    FormClose();
    closed_ = true;
    showing_ = false;
    backend_.formClosed(*this);
}

ModalResult Form::showModal()
{
    modalResult_ = ModalResult::None;
    return backend_.showModal(*this);
}

void Form::pressEnter()
{
    for (Control* c : controls_)
        if (auto* b = dynamic_cast<Button*>(c); b && b->isDefault) return b->click();
}

void Form::pressEscape()
{
    for (Control* c : controls_)
        if (auto* b = dynamic_cast<Button*>(c); b && b->isCancel) return b->click();
    modalResult_ = ModalResult::Cancel;
}

void Form::clickButton(Button& button)
{
    if (button.canFocus() && !focus(button)) return;
    button.click();
}

void Form::pressTab()
{
    if (controls_.empty()) return;
    auto start = std::find(controls_.begin(), controls_.end(), active_);
    const std::size_t n = controls_.size();
    std::size_t i = start == controls_.end() ? n - 1 : static_cast<std::size_t>(start - controls_.begin());
    for (std::size_t step = 1; step <= n; ++step) {
        Control* c = controls_[(i + step) % n];
        if (c->tabStop() && c->canFocus()) {
            focus(*c);
            return;
        }
    }
}

}  // namespace talvorin::ui
