#include "ui/controls.h"

#include <algorithm>

#include "platform/ascii.h"
#include "ui/backend.h"
#include "ui/form.h"

namespace talvorin::ui {

Control::Control(Form& owner, std::string name, bool focusable)
    : owner_(owner), name_(std::move(name)), focusable_(focusable), tabStop_(focusable)
{
    owner_.add(*this);
}

Control::~Control() { owner_.remove(*this); }

void Control::setEnabled(bool on)
{
    if (enabled_ == on) return;
    enabled_ = on;
    changed(Change::Enabled);
}

void Control::setVisible(bool on)
{
    if (visible_ == on) return;
    visible_ = on;
    changed(Change::Visible);
}

void Control::setColor(Color c)
{
    if (color_ == c) return;
    color_ = c;
    changed(Change::Color);
}

bool Control::focused() const { return owner_.activeControl() == this; }

bool Control::setFocus() { return owner_.focus(*this); }

void Control::changed(Change what) { owner_.backend().controlChanged(*this, what); }

Label::Label(Form& owner, std::string name, std::string caption)
    : Control(owner, std::move(name), false), caption_(std::move(caption))
{
}

void Label::setCaption(std::string text)
{
    caption_ = std::move(text);
    changed(Change::Caption);
}

void Label::setCursor(Cursor c)
{
    cursor_ = c;
    changed(Change::Cursor);
}

void Label::click()
{
    if (enabled() && visible() && onClick) onClick();
}

Edit::Edit(Form& owner, std::string name, std::string text)
    : Control(owner, std::move(name), true), text_(std::move(text))
{
}

void Edit::setText(std::string text)
{
    text_ = std::move(text);
    selStart_ = 0;
    changed(Change::Text);
    if (onChange) onChange();
}

void Edit::setSelStart(std::size_t pos) { selStart_ = std::min(pos, text_.size()); }

void Edit::setBounds(int newLeft, int newWidth)
{
    left = newLeft;
    width = newWidth;
    changed(Change::Bounds);
}

void Edit::type(const std::string& chars)
{
    for (char c : chars) typeOne(c);
}

void Edit::typeOne(char c)
{
    if (onKeyPress) onKeyPress(c);
    if (c == '\0' || readOnly || !enabled()) return;
    if (c == '\b') {
        if (selStart_ == 0) return;
        text_.erase(--selStart_, 1);
    } else {
        if (maxLength != 0 && text_.size() >= maxLength) return;
        if (upperCase) c = platform::upperAscii(c);
        text_.insert(selStart_++, 1, c);
    }
    changed(Change::Text);
    if (onChange) onChange();
}

void Edit::pressKey(Key key)
{
    if (onKeyDown) onKeyDown(key);
    switch (key) {
    case Key::Left: if (selStart_ > 0) --selStart_; break;
    case Key::Right: if (selStart_ < text_.size()) ++selStart_; break;
    case Key::Home: selStart_ = 0; break;
    case Key::End: selStart_ = text_.size(); break;
    default: break;
    }
}

Button::Button(Form& owner, std::string name, std::string caption, bool focusable)
    : Control(owner, std::move(name), focusable), caption_(std::move(caption))
{
}

void Button::click()
{
    if (!enabled() || !visible()) return;
    if (onClick) onClick();
    if (modalResult != ModalResult::None) owner().setModalResult(modalResult);
}

ProgressBar::ProgressBar(Form& owner, std::string name, int min, int max)
    : Control(owner, std::move(name), false), min_(min), max_(max), position_(min)
{
}

void ProgressBar::setPosition(int pos)
{
    position_ = std::clamp(pos, min_, max_);
    changed(Change::Position);
}

Image::Image(Form& owner, std::string name, std::string picture)
    : Control(owner, std::move(name), false), picture_(std::move(picture))
{
}

Shape::Shape(Form& owner, std::string name) : Control(owner, std::move(name), false) {}

}  // namespace talvorin::ui
