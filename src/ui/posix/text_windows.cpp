#include "ui/posix/text_windows.h"

#include <algorithm>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/handler_guard.h"
#include "ui/posix/folder_chooser.h"
#include "ui/posix/text_painting.h"
#include "ui/posix/text_layout.h"

namespace talvorin::ui {
namespace {

using Kind = TerminalKey::Kind;

// The help button beside a control: a button that takes no focus, in the same group and row,
// the nearest to its right.
const Button* helpFor(const Form& form, const TextLayout& layout, const Control* c)
{
    if (c == nullptr) return nullptr;
    const CellRect* at = layout.find(*c);
    if (at == nullptr) return nullptr;
    const Button* best = nullptr;
    int bestCol = 0;
    for (const Control* o : form.controls()) {
        auto* b = as<Button>(o);
        if (b == nullptr || b->focusable() || o->parent != c->parent) continue;
        const CellRect* r = layout.find(*o);
        if (r == nullptr || r->row != at->row || r->col < at->col) continue;
        if (best == nullptr || r->col < bestCol) best = b, bestCol = r->col;
    }
    return best;
}

// The window's link: a label that answers a click.
Label* linkOf(const Form& form)
{
    for (Control* c : form.controls())
        if (auto* l = as<Label>(c); l && l->onClick && l->font.underline) return l;
    return nullptr;
}

std::string keyLine(const Form& form)
{
    std::string line = "Tab/Shift+Tab: move  Enter: OK  Esc: Cancel";
    bool help = false;
    for (const Control* c : form.controls())
        if (auto* b = as<Button>(c); b && !b->focusable()) help = true;
    if (help) line += "  F1: help (?)";
    if (const Label* link = linkOf(form); link && link->enabled()) line += "  F2: " + link->caption();
    return line;
}

// The byte offset of the UTF-8 character after the one at pos.
std::size_t nextChar(const std::string& s, std::size_t pos)
{
    ++pos;
    while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xc0) == 0x80) ++pos;
    return pos;
}

}  // namespace

TextWindows::TextWindows(Backend& backend, TerminalInput& input, std::unique_ptr<CursesScreen> screen)
    : backend_(backend), input_(input), screen_(std::move(screen))
{
}

TextWindows::~TextWindows() = default;

void TextWindows::mainWindowShown(const Form& form)
{
    if (std::find(forms_.begin(), forms_.end(), &form) == forms_.end()) forms_.insert(forms_.begin(), &form);
    dirty_ = true;
}

void TextWindows::formGone(const Form& form)
{
    std::erase(forms_, &form);
    if (selected_ != nullptr && &selected_->owner() == &form) selected_ = nullptr;
    dirty_ = true;
}

void TextWindows::setCursor(Cursor cursor)
{
    cursor_ = cursor;
    // As the system's cursor does, this shows at once, before whatever makes the wait.
    draw();
}

void TextWindows::focusArrived(const Control* control)
{
    dirty_ = true;
    auto* edit = as<Edit>(control);
    // A field that gets the focus has its whole text selected, so typing replaces it.
    selected_ = edit != nullptr && !edit->readOnly ? edit : nullptr;
    if (selected_ != nullptr) const_cast<Edit*>(selected_)->caretMoved(0);
}

void TextWindows::refresh()
{
    if (screen_->followTerminalSize()) dirty_ = true;
    if (dirty_) draw();
}

bool TextWindows::fits() const
{
    const int rows = screen_->rows() - 1, columns = screen_->columns();
    for (const Form* f : forms_) {
        const TextLayout l = layOutInCells(*f);
        if (l.windowColumns() > columns || l.windowRows() > rows) return false;
    }
    for (const OpenBox& b : boxes_) {
        const BoxShape s = shapeOf(*b.box, columns, rows + 1);
        if (s.width > columns || s.height > rows) return false;
    }
    return true;
}

void TextWindows::draw()
{
    dirty_ = false;
    screen_->clear();
    screen_->hideCursor();
    if (!fits()) {
        paintTooSmall(*screen_, forms_, kMinColumns, kMinRows);
        screen_->show();
        return;
    }
    for (std::size_t i = 0; i < forms_.size(); ++i)
        paintForm(*screen_, *forms_[i], i + 1 == forms_.size() && boxes_.empty(), selected_);
    for (const OpenBox& b : boxes_) paintBox(*screen_, *b.box, b.focus);
    const int last = screen_->rows() - 1;
    std::string keys;
    if (cursor_ == Cursor::SqlWait)
        keys = "Please wait ...";
    else if (!boxes_.empty())
        keys = boxes_.back().box->buttons == Buttons::YesNo ? "Enter: Yes  Esc: No  Tab: other button"
                                                            : "Enter or Esc: OK";
    else if (forms_.size() > 1)
        keys = keyLine(*forms_.back());
    if (!keys.empty()) {
        screen_->fill(last, 0, screen_->columns(), Style::Window);
        screen_->text(last, 1, keys, Style::Window);
    }
    screen_->show();
}

Answer TextWindows::messageBox(const Box& box)
{
    const Answer escape = escapeAnswer(box.buttons);
    const bool yesNo = box.buttons == Buttons::YesNo;
    const auto answerAt = [yesNo](std::size_t i) { return !yesNo ? Answer::Ok : i == 0 ? Answer::Yes : Answer::No; };
    boxes_.push_back({&box, 0});
    const Edit* selected = selected_;
    draw();
    Answer answer = escape;
    for (;;) {
        const auto key = input_.readKey();
        if (!key || key->kind == Kind::Escape) break;
        std::size_t& focus = boxes_.back().focus;
        const std::size_t count = yesNo ? 2 : 1;
        if (key->kind == Kind::Enter || (key->kind == Kind::Char && key->ch == ' ')) {
            answer = answerAt(focus);
            break;
        }
        if (yesNo && key->kind == Kind::Char && (key->ch == 'y' || key->ch == 'Y')) {
            answer = Answer::Yes;
            break;
        }
        if (yesNo && key->kind == Kind::Char && (key->ch == 'n' || key->ch == 'N')) break;
        if (key->kind == Kind::Tab || key->kind == Kind::Right || key->kind == Kind::Down) focus = (focus + 1) % count;
        if (key->kind == Kind::BackTab || key->kind == Kind::Left || key->kind == Kind::Up)
            focus = (focus + count - 1) % count;
        draw();
    }
    boxes_.pop_back();
    selected_ = selected;
    draw();
    return answer;
}

ModalResult TextWindows::showModal(Form& form)
{
    forms_.push_back(&form);
    form.show();
    while (form.modalResult() == ModalResult::None && !form.isClosed()) {
        refresh();
        draw();
        const auto key = input_.readKey();
        if (!key) {
            // A quit request: the window ends as Cancel.
            form.pressEscape();
            if (form.modalResult() == ModalResult::None) form.setModalResult(ModalResult::Cancel);
            break;
        }
        dispatchGuarded(backend_, [&] { handleKey(form, *key); });
    }
    if (form.modalResult() == ModalResult::None) form.setModalResult(ModalResult::Cancel);
    formGone(form);
    draw();
    return form.modalResult();
}

std::optional<std::string> TextWindows::browseForFolder(const std::string& title)
{
    FolderChooser chooser(backend_, title);
    if (chooser.showModal() != ModalResult::Ok || chooser.edtFolder.text().empty()) return std::nullopt;
    return chooser.edtFolder.text();
}

void TextWindows::handleKey(Form& form, const TerminalKey& key)
{
    Control* focused = form.activeControl();
    switch (key.kind) {
    case Kind::Tab: form.pressTab(); return;
    case Kind::BackTab: form.pressShiftTab(); return;
    case Kind::Enter: form.pressEnter(); return;
    case Kind::Escape: form.pressEscape(); return;
    case Kind::Function:
        if (key.function == 1) {
            const TextLayout layout = layOutInCells(form);
            if (auto* help = helpFor(form, layout, focused)) const_cast<Button*>(help)->click();
        } else if (key.function == 2) {
            if (Label* link = linkOf(form)) link->click();
        }
        return;
    default: break;
    }
    if (auto* edit = as<Edit>(focused)) return editKey(*edit, key);
    if (auto* button = as<Button>(focused)) {
        // Between buttons the arrows move as Tab and Shift+Tab; the space bar presses one.
        if (key.kind == Kind::Left || key.kind == Kind::Up) form.pressShiftTab();
        if (key.kind == Kind::Right || key.kind == Kind::Down) form.pressTab();
        if (key.kind == Kind::Char && key.ch == ' ') form.clickButton(*button);
    }
}

void TextWindows::typeInto(Edit& edit, char c)
{
    if (selected_ == &edit && !edit.text().empty()) {
        // Typing over the selection replaces it, once the key press handler has let it pass.
        char probe = c;
        if (!edit.keyPressed(probe) || edit.readOnly || !edit.enabled()) return;
        selected_ = nullptr;
        edit.edited("", 0);
        if (c == '\b') return;
    }
    selected_ = nullptr;
    edit.type(std::string(1, c));
}

void TextWindows::editKey(Edit& edit, const TerminalKey& key)
{
    const bool selection = selected_ == &edit && !edit.text().empty();
    switch (key.kind) {
    case Kind::Char: return typeInto(edit, key.ch);
    case Kind::Backspace: return typeInto(edit, '\b');
    case Kind::Delete:
        if (edit.readOnly || !edit.enabled()) return;
        selected_ = nullptr;
        if (selection)
            edit.edited("", 0);
        else if (edit.selStart() < edit.text().size()) {
            std::string text = edit.text();
            const std::size_t at = edit.selStart();
            text.erase(at, nextChar(text, at) - at);
            edit.edited(text, at);
        }
        return;
    case Kind::Left:
    case Kind::Right:
    case Kind::Home:
    case Kind::End:
    case Kind::Up:
    case Kind::Down: {
        const Key k = key.kind == Kind::Left    ? Key::Left
                      : key.kind == Kind::Right ? Key::Right
                      : key.kind == Kind::Home  ? Key::Home
                      : key.kind == Kind::End   ? Key::End
                      : key.kind == Kind::Up    ? Key::Up
                                                : Key::Down;
        if (!selection) return edit.pressKey(k);
        // The selection goes: Left and Home leave the caret at its start, Right and End at its end.
        selected_ = nullptr;
        edit.keyDown(k);
        if (k == Key::Left || k == Key::Home) edit.caretMoved(0);
        if (k == Key::Right || k == Key::End) edit.caretMoved(edit.text().size());
        return;
    }
    default: return;
    }
}

}  // namespace talvorin::ui
