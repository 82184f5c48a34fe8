#pragma once

#include <string>

namespace talvorin::ui {

// The program's title, from its file's name (ui/program_title.h): the general error box's
// caption.
const std::string& programTitle();
// The picture of the program's own icon, as the program file carries it.
inline constexpr const char* kProgramIcon = "MAINICON";

// The system's colours by role, and the one fixed colour the windows use (links and the
// help buttons' text).
enum class Color { Window, ButtonFace, WindowText, Blue };
enum class Cursor { Default, HandPoint, SqlWait };
enum class Icon { Warning, Error, Information, Question };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };
enum class ModalResult { None, Ok, Cancel };
enum class Key { Left, Right, Up, Down, Home, End, Other };

// What changed on a control, for the backends that show or record it.
enum class Change { Text, Caption, Enabled, Visible, Color, Position, Bounds, Cursor, Caret };

// Sizes and positions in pixels; a control's position is relative to its group (or to the
// window's client area when it is in none).
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const Rect&) const = default;
};

struct Font {
    std::string face = "MS Sans Serif";  // where the system lacks it, its dialog font
    int points = 8;
    bool bold = false;
    bool underline = false;
    Color color = Color::WindowText;
    bool operator==(const Font&) const = default;
};

// A window's border: a single fixed frame, or a dialog's frame. Neither can be resized.
enum class BorderStyle { Single, Dialog };

// A message box: caption, text, icon and buttons. (Not called MessageBox: <windows.h>
// defines that name as a macro.)
struct Box {
    std::string caption;
    std::string text;
    Icon icon = Icon::Information;
    Buttons buttons = Buttons::Ok;

    // The four kinds the program uses, each with its caption, and the general error box
    // that reports a failure nothing else caught.
    static Box warning(std::string text, Buttons b = Buttons::Ok)
    {
        return {"Warning", std::move(text), Icon::Warning, b};
    }
    static Box error(std::string text) { return {"Error", std::move(text), Icon::Error, Buttons::Ok}; }
    static Box information(std::string text)
    {
        return {"Information", std::move(text), Icon::Information, Buttons::Ok};
    }
    static Box confirm(std::string text) { return {"Confirm", std::move(text), Icon::Question, Buttons::YesNo}; }
    static Box applicationError(std::string text)
    {
        return {programTitle(), std::move(text), Icon::Error, Buttons::Ok};
    }
};

// What Escape answers: the box is dismissed without agreeing to anything.
constexpr Answer escapeAnswer(Buttons b) { return b == Buttons::YesNo ? Answer::No : Answer::Ok; }

}  // namespace talvorin::ui
