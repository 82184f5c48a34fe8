#include "ui/unattended_text.h"

namespace talvorin::ui {
namespace {

const char* answerText(Answer a)
{
    switch (a) {
    case Answer::Yes: return "Yes";
    case Answer::No: return "No";
    case Answer::Ok: break;
    }
    return "OK";
}

}  // namespace

std::string terminalText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            out += c;
            continue;
        }
        const char pair = c == '\r' ? '\n' : '\r';
        if (i + 1 < text.size() && text[i + 1] == pair) ++i;
        out += '\n';
    }
    return out;
}

std::string unattendedBox(const Box& box, Answer answer, const std::string& why, const std::string& lineBreak)
{
    std::string out = "[" + box.caption + "] ";
    for (char c : terminalText(box.text)) {
        if (c == '\n')
            out += lineBreak;
        else
            out += c;
    }
    out += lineBreak;
    if (box.buttons == Buttons::YesNo)
        out += "[" + box.caption + "] Answer: " + answerText(answer) + " (" + why + ")" + lineBreak;
    return out;
}

std::string unattendedDialog(const std::string& caption, const std::string& why, const std::string& lineBreak)
{
    return "[" + caption + "] Not shown (" + why + "); it ends as Cancel" + lineBreak;
}

}  // namespace talvorin::ui
