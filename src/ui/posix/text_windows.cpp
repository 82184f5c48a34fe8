#include "ui/posix/text_windows.h"

#include <algorithm>
#include <filesystem>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/posix/terminal_backend.h"
#include "ui/terminal_text.h"

namespace talvorin::ui {
namespace {

using Kind = TerminalKey::Kind;

// Where a window of that size sits: centred in the rows above the key line.
CellRect centred(int width, int height, int rows, int columns)
{
    return {std::max(0, (columns - width) / 2), std::max(0, (rows - 1 - height) / 2), width, height};
}

const char* iconMark(Icon icon)
{
    switch (icon) {
    case Icon::Warning: return "(!)";
    case Icon::Error: return "(X)";
    case Icon::Question: return "(?)";
    case Icon::Information: break;
    }
    return "(i)";
}

std::vector<std::string> buttonCaptions(Buttons b)
{
    if (b == Buttons::YesNo) return {"Yes", "No"};
    return {"OK"};
}

std::string buttonFace(const std::string& caption, int width)
{
    const int inner = std::max(static_cast<int>(columnsOf(caption)), width - 2);
    const int left = (inner - static_cast<int>(columnsOf(caption))) / 2;
    return "[" + std::string(static_cast<std::size_t>(left), ' ') + caption +
           std::string(static_cast<std::size_t>(inner - left - static_cast<int>(columnsOf(caption))), ' ') + "]";
}

constexpr int kBoxButtonWidth = 10;
constexpr std::size_t kBoxTextColumns = 60;

struct BoxShape {
    std::vector<std::string> lines;
    int width = 0, height = 0;
};

BoxShape shapeOf(const Box& box, int columns, int rows)
{
    BoxShape s;
    const std::size_t room = static_cast<std::size_t>(std::max(10, std::min<int>(kBoxTextColumns, columns - 10)));
    s.lines = wrapWords(box.text, room);
    // Never taller than the terminal: the last lines give way, the buttons stay.
    const auto fit = static_cast<std::size_t>(std::max(1, rows - 1 - 5));
    if (s.lines.size() > fit) s.lines.resize(fit);
    std::size_t widest = 0;
    for (const auto& l : s.lines) widest = std::max(widest, columnsOf(l));
    const int buttons = static_cast<int>(buttonCaptions(box.buttons).size()) * (kBoxButtonWidth + 2) - 2;
    const int inner = std::max({static_cast<int>(widest) + 4, buttons, static_cast<int>(columnsOf(box.caption)) + 4});
    s.width = inner + 4;
    s.height = static_cast<int>(s.lines.size()) + 5;
    return s;
}

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
        auto* b = dynamic_cast<const Button*>(o);
        if (b == nullptr || b->focusable() || o->parent() != c->parent()) continue;
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
        if (auto* l = dynamic_cast<Label*>(c); l && l->onClick && l->font.underline) return l;
    return nullptr;
}

std::string keyLine(const Form& form)
{
    std::string line = "Tab/Shift+Tab: move  Enter: OK  Esc: Cancel";
    bool help = false;
    for (const Control* c : form.controls())
        if (auto* b = dynamic_cast<const Button*>(c); b && !b->focusable()) help = true;
    if (help) line += "  F1: help (?)";
    if (const Label* link = linkOf(form); link && link->enabled()) line += "  F2: " + link->caption();
    return line;
}

// The byte offset of the UTF-8 character after / before the one at pos.
std::size_t nextChar(const std::string& s, std::size_t pos)
{
    ++pos;
    while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xc0) == 0x80) ++pos;
    return pos;
}

// The typed-path chooser: a title, the folder's path typed in a field, OK and Cancel.
class FolderChooser final : public Form {
public:
    FolderChooser(Backend& backend, const std::string& title)
        : Form(backend, "FolderChooser", "Browse for Folder"),
          lbTitle(*this, "lbTitle", title),
          edtFolder(*this, "edtFolder"),
          btnOK(*this, "btnOK", "OK"),
          btnCancel(*this, "btnCancel", "Cancel")
    {
        clientSize = {360, 90};
        lbTitle.setBounds({8, 8, 344, 13});
        edtFolder.setBounds({8, 28, 344, 21});
        btnOK.setBounds({196, 58, 75, 25});
        btnCancel.setBounds({277, 58, 75, 25});
        btnOK.isDefault = true;
        btnCancel.isCancel = true;
        btnCancel.modalResult = ModalResult::Cancel;
        btnOK.onClick = [this] {
            std::error_code ec;
            // Only a folder of the file system can be chosen.
            if (std::filesystem::is_directory(edtFolder.text(), ec)) {
                setModalResult(ModalResult::Ok);
                return;
            }
            this->backend().messageBox(Box::error("There is no folder " + edtFolder.text() + "."));
            edtFolder.setFocus();
        };
    }
    Label lbTitle;
    Edit edtFolder;
    Button btnOK;
    Button btnCancel;

protected:
    void FormShow() override { edtFolder.setFocus(); }
};

}  // namespace

TextWindows::TextWindows(TerminalBackend& terminal, std::unique_ptr<CursesScreen> screen)
    : terminal_(terminal), screen_(std::move(screen))
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
    auto* edit = dynamic_cast<const Edit*>(control);
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
        drawTooSmall();
        screen_->show();
        return;
    }
    for (std::size_t i = 0; i < forms_.size(); ++i) drawForm(*forms_[i], i + 1 == forms_.size() && boxes_.empty());
    for (const OpenBox& b : boxes_) drawBox(b);
    const int last = screen_->rows() - 1;
    std::string keys;
    if (cursor_ == Cursor::SqlWait)
        keys = "Please wait ...";
    else if (!boxes_.empty())
        keys = boxes_.back().box->buttons == Buttons::YesNo ? "Enter: Yes  Esc: No  Tab: other button" : "Enter or Esc: OK";
    else if (forms_.size() > 1)
        keys = keyLine(*forms_.back());
    if (!keys.empty()) {
        screen_->fill(last, 0, screen_->columns(), Style::Window);
        screen_->text(last, 1, keys, Style::Window);
    }
    screen_->show();
}

void TextWindows::drawTooSmall()
{
    int need = kMinColumns, needRows = kMinRows;
    for (const Form* f : forms_) {
        const TextLayout l = layOutInCells(*f);
        need = std::max(need, l.windowColumns());
        needRows = std::max(needRows, l.windowRows() + 1);
    }
    const std::string text = "Terminal too small: the setup's windows need " + std::to_string(need) + " x " +
                             std::to_string(needRows) + " characters, this one has " +
                             std::to_string(screen_->columns()) + " x " + std::to_string(screen_->rows()) +
                             ". Make it larger to see them; the keys still work.";
    const auto lines = wrapWords(text, static_cast<std::size_t>(std::max(1, screen_->columns())));
    for (std::size_t i = 0; i < lines.size() && static_cast<int>(i) < screen_->rows(); ++i)
        screen_->text(static_cast<int>(i), 0, lines[i], Style::Default);
}

void TextWindows::drawForm(const Form& form, bool active)
{
    const TextLayout layout = layOutInCells(form);
    const CellRect area = centred(layout.windowColumns(), layout.windowRows(), screen_->rows(), screen_->columns());
    screen_->window(area, form.caption());
    const int top = area.row + 1, left = area.col + 1;
    bool buttonFocused = false;
    for (const Control* c : form.controls()) buttonFocused |= c->focused() && dynamic_cast<const Button*>(c) != nullptr;

    // Frames and shapes first: the rest is drawn inside them.
    for (const Control* c : form.controls()) {
        const CellRect* at = layout.find(*c);
        if (at == nullptr || !c->visible()) continue;
        if (auto* g = dynamic_cast<const GroupBox*>(c))
            screen_->frame({left + at->col, top + at->row, at->width, at->height}, g->caption(), Style::Window);
        else if (dynamic_cast<const Shape*>(c))
            screen_->fill(top + at->row, left + at->col, at->width,
                          c->color() == Color::Window ? Style::Field : Style::LockedField);
    }
    for (const Control* c : form.controls()) {
        const CellRect* at = layout.find(*c);
        if (at == nullptr || !c->visible()) continue;
        const int row = top + at->row, col = left + at->col;
        if (auto* l = dynamic_cast<const Label*>(c)) {
            const Style s = !l->enabled() ? Style::Disabled : l->font.underline ? Style::Link : Style::Window;
            screen_->text(row, col, l->caption(), s, at->width);
        } else if (auto* b = dynamic_cast<const Button*>(c)) {
            if (!b->focusable()) {
                screen_->text(row, col, buttonFace(b->caption(), at->width - 1), Style::Help);
                continue;
            }
            const bool focused = active && b->focused();
            const Style s = focused ? Style::Focus : (b->isDefault && !buttonFocused) ? Style::Title : Style::Window;
            screen_->text(row, col, buttonFace(b->caption(), at->width - 1), s);
        } else if (auto* e = dynamic_cast<const Edit*>(c)) {
            const bool focused = active && e->focused();
            const Style field = focused ? Style::Focus
                              : (e->enabled() && e->color() == Color::Window) ? Style::Field : Style::LockedField;
            std::string shown = e->password ? std::string(columnsOf(e->text()), '*') : e->text();
            const int width = at->width;
            const int caret = static_cast<int>(columnsOf(shown.substr(0, std::min(e->selStart(), e->text().size()))));
            int first = 0;  // the first column shown: the caret stays in view
            int pad = 0;
            const int length = static_cast<int>(columnsOf(shown));
            if (!e->bordered && e->maxLength != 0) {
                pad = std::max(0, width - length);  // an octet stands against the dot after it
            } else if (caret >= width) {
                first = caret - width + 1;
            }
            std::string visible = shown;
            for (int i = 0; i < first; ++i) visible.erase(0, nextChar(visible, 0));
            screen_->fill(row, col, width, field);
            const Style text = focused && selected_ == e && !e->text().empty() ? Style::Selected : field;
            screen_->text(row, col + pad, visible, text, width - pad);
            if (focused && !e->readOnly) screen_->placeCursor(row, col + std::min(pad + caret - first, width - 1));
        } else if (auto* p = dynamic_cast<const ProgressBar*>(c)) {
            const int inner = std::max(0, at->width - 2);
            const int span = std::max(1, p->max() - p->min());
            const int filled = std::clamp((p->position() - p->min()) * inner / span, 0, inner);
            screen_->text(row, col, "[", Style::Window);
            screen_->fill(row, col + 1, filled, Style::Field, '#');
            screen_->fill(row, col + 1 + filled, inner - filled, Style::Field);
            screen_->text(row, col + 1 + inner, "]", Style::Window);
        }
    }
}

void TextWindows::drawBox(const OpenBox& open)
{
    const Box& box = *open.box;
    const BoxShape s = shapeOf(box, screen_->columns(), screen_->rows());
    const CellRect area = centred(s.width, s.height, screen_->rows(), screen_->columns());
    screen_->window(area, box.caption);
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        if (i == 0) screen_->text(area.row + 2, area.col + 2, iconMark(box.icon), Style::Title);
        screen_->text(area.row + 2 + static_cast<int>(i), area.col + 6, s.lines[i], Style::Window);
    }
    const auto captions = buttonCaptions(box.buttons);
    const int all = static_cast<int>(captions.size()) * (kBoxButtonWidth + 2) - 2;
    int col = area.col + (s.width - all) / 2;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        screen_->text(area.row + s.height - 2, col, buttonFace(captions[i], kBoxButtonWidth),
                      i == open.focus ? Style::Focus : Style::Window);
        col += kBoxButtonWidth + 2;
    }
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
        const auto key = terminal_.readKey();
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
        if (key->kind == Kind::BackTab || key->kind == Kind::Left || key->kind == Kind::Up) focus = (focus + count - 1) % count;
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
        const auto key = terminal_.readKey();
        if (!key) {
            // A quit request: the window ends as Cancel.
            form.pressEscape();
            if (form.modalResult() == ModalResult::None) form.setModalResult(ModalResult::Cancel);
            break;
        }
        handleKey(form, *key);
    }
    if (form.modalResult() == ModalResult::None) form.setModalResult(ModalResult::Cancel);
    formGone(form);
    draw();
    return form.modalResult();
}

std::optional<std::string> TextWindows::browseForFolder(const std::string& title)
{
    FolderChooser chooser(terminal_, title);
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
    if (auto* edit = dynamic_cast<Edit*>(focused)) return editKey(*edit, key);
    if (auto* button = dynamic_cast<Button*>(focused)) {
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
        const Key k = key.kind == Kind::Left ? Key::Left : key.kind == Kind::Right ? Key::Right
                    : key.kind == Kind::Home ? Key::Home : key.kind == Kind::End ? Key::End
                    : key.kind == Kind::Up ? Key::Up : Key::Down;
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
