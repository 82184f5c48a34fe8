#pragma once

#include <algorithm>
#include <functional>
#include <string>

#include "ui/control_visitor.h"
#include "ui/types.h"

namespace talvorin::ui {

class Form;

// A control on a form. State lives here; the front end's views are told of every change so
// they can draw it (or, in tests, record it).
//
// One rule for forms and controls alike: what is shown and may change while the window is
// shown has a setter, and the setter tells the views; how the window is built, set once
// before it is first shown, is a plain public field.
class Control {
public:
    Control(Form& owner, std::string name, bool focusable);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    Form& owner() const { return owner_; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    bool visible() const { return visible_; }
    void setVisible(bool on);
    Color color() const { return color_; }
    void setColor(Color c);
    // Tab and Shift+Tab stop here; by default, when it is of a kind that takes the focus.
    bool tabStop;

    // Where it is drawn: relative to its group, or to the window's client area.
    const Rect& bounds() const { return bounds_; }
    void setBounds(const Rect& r);
    // The framed group it sits in; null: directly on the window.
    Control* parent = nullptr;
    // Its position in the window's client area.
    Rect clientBounds() const;
    Font font;

    // Of a kind that takes the focus at all (a speed button does not).
    bool focusable() const { return focusable_; }
    // Enabled, visible and of a kind that takes the focus.
    bool canFocus() const { return focusable_ && enabled_ && visible_; }
    bool focused() const;
    // Asks the form to move the focus here; false when it did not arrive.
    bool setFocus();

    // Runs when the control loses the focus, before the focus arrives elsewhere.
    std::function<void()> onExit;

    // Calls the visitor for the control's own kind.
    virtual void accept(ControlVisitor& v) = 0;
    virtual void accept(ConstControlVisitor& v) const = 0;

protected:
    void changed(Change what);

private:
    Form& owner_;
    std::string name_;
    bool focusable_;
    bool enabled_ = true;
    bool visible_ = true;
    Color color_ = Color::Window;
    Rect bounds_;
};

class Label : public Control {
public:
    Label(Form& owner, std::string name, std::string caption = {});
    void accept(ControlVisitor& v) override { v.visit(*this); }
    void accept(ConstControlVisitor& v) const override { v.visit(*this); }
    const std::string& caption() const { return caption_; }
    void setCaption(std::string text);
    Cursor cursor() const { return cursor_; }
    void setCursor(Cursor c);
    std::function<void()> onClick;
    void click();

private:
    std::string caption_;
    Cursor cursor_ = Cursor::Default;
};

class Edit : public Control {
public:
    Edit(Form& owner, std::string name, std::string text = {});
    void accept(ControlVisitor& v) override { v.visit(*this); }
    void accept(ConstControlVisitor& v) const override { v.visit(*this); }

    const std::string& text() const { return text_; }
    // Text put in by the program: the caret goes to the start, the change handler runs.
    void setText(std::string text);
    std::size_t selStart() const { return selStart_; }
    // Puts the caret there; any selection is dropped.
    void setSelStart(std::size_t pos);

    std::size_t maxLength = 0;  // 0: no limit; limits typing only
    bool upperCase = false;
    bool readOnly = false;
    bool password = false;  // every character shown as "*"
    bool bordered = true;

    // Typing: the key-press handler sees (and may discard by setting to '\0') every
    // character first; Backspace is character 8.
    void type(const std::string& chars);
    // A key that is no character: the key-down handler runs, then the caret moves.
    void pressKey(Key key);

    // What a system's own edit control reports as the user types into it; the control
    // itself does the editing. The key press, through the key-press handler: false when
    // the character is discarded.
    bool keyPressed(char& c);
    // A key down, through the key-down handler; the control moves its caret itself.
    void keyDown(Key key);
    // The text and caret after the control changed its text; the change handler runs.
    void edited(std::string text, std::size_t caret);
    // The caret the control has now.
    void caretMoved(std::size_t caret) { selStart_ = std::min(caret, text_.size()); }

    std::function<void(char&)> onKeyPress;
    std::function<void(Key)> onKeyDown;
    std::function<void()> onChange;

private:
    void typeOne(char c);
    std::string text_;
    std::size_t selStart_ = 0;
};

class Button : public Control {
public:
    Button(Form& owner, std::string name, std::string caption, bool focusable = true);
    void accept(ControlVisitor& v) override { v.visit(*this); }
    void accept(ConstControlVisitor& v) const override { v.visit(*this); }
    const std::string& caption() const { return caption_; }
    bool isDefault = false;  // Enter
    bool isCancel = false;   // Escape
    ModalResult modalResult = ModalResult::None;
    std::function<void()> onClick;
    // The click itself: the handler, then the button's modal result if it has one.
    void click();

private:
    std::string caption_;
};

class ProgressBar : public Control {
public:
    ProgressBar(Form& owner, std::string name, int min = 0, int max = 100);
    void accept(ControlVisitor& v) override { v.visit(*this); }
    void accept(ConstControlVisitor& v) const override { v.visit(*this); }
    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }
    void setPosition(int pos);

private:
    int min_, max_, position_;
};

// A picture, such as the main window's icon.
class Image : public Control {
public:
    Image(Form& owner, std::string name, std::string picture);
    void accept(ControlVisitor& v) override { v.visit(*this); }
    void accept(ConstControlVisitor& v) const override { v.visit(*this); }
    const std::string& picture() const { return picture_; }

private:
    std::string picture_;
};

// A rectangle drawn around controls that have no borders of their own; its colour fills it.
class Shape : public Control {
public:
    Shape(Form& owner, std::string name);
    void accept(ControlVisitor& v) override { v.visit(*this); }
    void accept(ConstControlVisitor& v) const override { v.visit(*this); }
};

// A framed group of controls with its caption on the frame.
class GroupBox : public Control {
public:
    GroupBox(Form& owner, std::string name, std::string caption);
    void accept(ControlVisitor& v) override { v.visit(*this); }
    void accept(ConstControlVisitor& v) const override { v.visit(*this); }
    const std::string& caption() const { return caption_; }

private:
    std::string caption_;
};

}  // namespace talvorin::ui
