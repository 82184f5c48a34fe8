#include "ui/controls.h"

#include <algorithm>

#include "formats/ascii.h"
#include "ui/backend.h"
#include "ui/form.h"
#include "ui/views.h"

namespace talvorin::ui {

Control::Control(Form& owner, std::string name, bool focusable)
    : tabStop(focusable), owner_(owner), name_(std::move(name)), focusable_(focusable)
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

void Control::setBounds(const Rect& r)
{
    if (bounds_ == r) return;
    bounds_ = r;
    changed(Change::Bounds);
}

Rect Control::clientBounds() const
{
    Rect r = bounds_;
    for (const Control* p = parent; p != nullptr; p = p->parent) {
        r.left += p->bounds_.left;
        r.top += p->bounds_.top;
    }
    return r;
}

bool Control::focused() const { return owner_.activeControl() == this; }

bool Control::setFocus() { return owner_.focus(*this); }

void Control::changed(Change what) { owner_.backend().views().controlChanged(*this, what); }

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

void Edit::setSelStart(std::size_t pos)
{
    selStart_ = std::min(pos, text_.size());
    changed(Change::Caret);
}

void Edit::type(const std::string& chars)
{
    for (char c : chars) typeOne(c);
}

bool Edit::keyPressed(char& c)
{
    if (onKeyPress) onKeyPress(c);
    return c != '\0';
}

void Edit::keyDown(Key key)
{
    if (onKeyDown) onKeyDown(key);
}

void Edit::edited(std::string text, std::size_t caret)
{
    text_ = std::move(text);
    selStart_ = std::min(caret, text_.size());
    if (onChange) onChange();
}

void Edit::typeOne(char c)
{
    if (!keyPressed(c) || readOnly || !enabled()) return;
    std::string text = text_;
    std::size_t caret = selStart_;
    if (c == '\b') {
        if (caret == 0) return;
        text.erase(--caret, 1);
    } else {
        if (maxLength != 0 && text.size() >= maxLength) return;
        if (upperCase) c = formats::upperAscii(c);
        text.insert(caret++, 1, c);
    }
    text_ = std::move(text);
    selStart_ = caret;
    changed(Change::Text);
    if (onChange) onChange();
}

void Edit::pressKey(Key key)
{
    keyDown(key);
    switch (key) {
    case Key::Left:
        if (selStart_ > 0) --selStart_;
        break;
    case Key::Right:
        if (selStart_ < text_.size()) ++selStart_;
        break;
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

GroupBox::GroupBox(Form& owner, std::string name, std::string caption)
    : Control(owner, std::move(name), false), caption_(std::move(caption))
{
}

}  // namespace talvorin::ui
