#pragma once

#include <string>

namespace talvorin::ui {

// The program's title: the general error box's caption.
inline constexpr const char* kAppTitle = "Talvorin";

enum class Color { Window, ButtonFace };
enum class Cursor { Default, HandPoint, SqlWait };
enum class Icon { Warning, Error, Information, Question };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };
enum class ModalResult { None, Ok, Cancel };
enum class Key { Left, Right, Up, Down, Home, End, Other };

// What changed on a control, for the backends that show or record it.
enum class Change { Text, Caption, Enabled, Visible, Color, Position, Bounds, Cursor };

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
    static Box confirm(std::string text)
    {
        return {"Confirm", std::move(text), Icon::Question, Buttons::YesNo};
    }
    static Box applicationError(std::string text)
    {
        return {kAppTitle, std::move(text), Icon::Error, Buttons::Ok};
    }
};

// What Escape answers: the box is dismissed without agreeing to anything.
constexpr Answer escapeAnswer(Buttons b) { return b == Buttons::YesNo ? Answer::No : Answer::Ok; }

}  // namespace talvorin::ui
