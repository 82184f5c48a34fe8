#include "ui/posix/line_mode.h"

#include <sys/ioctl.h>

#include <cstdlib>

#include "ui/controls.h"
#include "ui/form.h"

namespace talvorin::ui {
namespace {

using Kind = TerminalKey::Kind;

constexpr std::size_t kDefaultColumns = 80;

}  // namespace

LineMode::~LineMode() { endStatusLine(); }

void LineMode::write(const std::string& text)
{
    endStatusLine();
    writeAll(files_.out, text);
}

std::size_t LineMode::columns() const
{
    winsize size{};
    if (::ioctl(files_.out, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* env = std::getenv("COLUMNS")) {
        const long n = std::strtol(env, nullptr, 10);
        if (n > 0 && n < 10000) return static_cast<std::size_t>(n);
    }
    return kDefaultColumns;
}

Answer LineMode::messageBox(const Box& box)
{
    const Answer escape = escapeAnswer(box.buttons);
    const bool yesNo = box.buttons == Buttons::YesNo;
    write("\n[" + box.caption + "]\n" + terminalText(box.text) + "\n" +
          (yesNo ? "(Y)es / (N)o, Enter = Yes, Esc = No: " : "Press Enter: "));
    Answer answer = escape;
    for (;;) {
        const auto key = input_.readKey();
        if (!key || key->kind == Kind::Escape) break;
        if (key->kind == Kind::Enter) {
            answer = yesNo ? Answer::Yes : Answer::Ok;
            break;
        }
        if (yesNo && key->kind == Kind::Char && (key->ch == 'y' || key->ch == 'Y')) {
            answer = Answer::Yes;
            break;
        }
        if (yesNo && key->kind == Kind::Char && (key->ch == 'n' || key->ch == 'N')) break;
    }
    writeAll(files_.out, std::string(answer == Answer::Yes ? "Yes" : answer == Answer::No ? "No" : "OK") + "\n");
    statusDirty_ = true;
    return answer;
}

std::optional<std::string> LineMode::browseForFolder(const std::string& title)
{
    write(title + "\nFolder (Esc cancels): ");
    std::string line;
    if (readLine(line, false) == LineEnd::Cancel) return std::nullopt;
    return line;
}

ModalResult LineMode::showModal(Form& form)
{
    if (presenter_ == nullptr) return ModalResult::Cancel;
    endStatusLine();
    const Form* outer = modalForm_;
    modalForm_ = &form;
    ++modalDepth_;
    const ModalResult result = presenter_->present(*this, form);
    // The dialog's last status stays on the screen above what comes next.
    drawStatus();
    endStatusLine();
    --modalDepth_;
    modalForm_ = outer;
    statusDirty_ = true;
    return result;
}

void LineMode::formShown(const Form& form)
{
    if (mainForm_ == nullptr) mainForm_ = &form;
    statusDirty_ = true;
}

void LineMode::mainWindowClosed(bool drawLastStatus)
{
    if (drawLastStatus) {
        drawStatus();
        endStatusLine();
    }
    mainForm_ = nullptr;
}

void LineMode::formDestroyed(const Form& form)
{
    if (&form == mainForm_) mainForm_ = nullptr;
}

void LineMode::controlChanged(const Control& control)
{
    const Form& owner = control.owner();
    if (&owner == mainForm_ || (modalDepth_ > 0 && &owner == modalForm_)) statusDirty_ = true;
}

void LineMode::drawStatus()
{
    std::optional<StatusParts> parts;
    if (modalDepth_ > 0) {
        if (presenter_ != nullptr && modalForm_ != nullptr) parts = presenter_->status(*modalForm_);
    } else if (mainForm_ != nullptr) {
        StatusParts main{mainForm_->caption(), {}, nullptr};
        bool haveLabel = false;
        for (const Control* c : mainForm_->controls()) {
            if (auto* l = as<Label>(c); l && !haveLabel) {
                main.text = l->caption();
                haveLabel = true;
            }
            if (auto* p = as<ProgressBar>(c); p && !main.bar) main.bar = p;
        }
        parts = main;
    }
    if (!parts) return;
    // A resize redraws the line at the new width, even when nothing else changed.
    const std::size_t width = columns();
    if (!statusDirty_ && !(statusShown_ && width != statusWidth_)) return;
    statusDirty_ = false;
    statusWidth_ = width;
    writeAll(files_.out, "\r\x1b[K" + statusLine(*parts, width));
    statusShown_ = true;
}

void LineMode::endStatusLine()
{
    if (!statusShown_) return;
    writeAll(files_.out, "\n");
    statusShown_ = false;
    statusDirty_ = true;
}

}  // namespace talvorin::ui
