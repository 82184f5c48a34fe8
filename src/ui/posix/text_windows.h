#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/posix/curses_screen.h"
#include "ui/posix/terminal_input.h"
#include "ui/types.h"

namespace talvorin::ui {

class Backend;
class Control;
class Edit;
class Form;

// The windows as text-mode windows: the main window centred and framed, a modal form over
// it with the focus highlighted, message boxes framed over both. The widgets keep every
// rule of focus, checks and results; this draws them and turns keys into what a person
// does on the windows: typing into the focused field, Tab and Shift+Tab, Enter, Escape,
// the arrows, F1 for the help button beside the focused field and F2 for the window's link.
class TextWindows {
public:
    // The smallest terminal the windows are drawn on when the program starts.
    static constexpr int kMinColumns = 70;
    static constexpr int kMinRows = 22;

    // backend: the front end the windows are shown by, for the folder chooser's form.
    TextWindows(Backend& backend, TerminalInput& input, std::unique_ptr<CursesScreen> screen);
    ~TextWindows();

    void mainWindowShown(const Form& form);
    void formGone(const Form& form);
    Answer messageBox(const Box& box);
    ModalResult showModal(Form& form);
    std::optional<std::string> browseForFolder(const std::string& title);
    void setCursor(Cursor cursor);

    // Something shown has changed.
    void changed() { dirty_ = true; }
    void focusArrived(const Control* control);
    // Draws what changed, also after a resize of the terminal.
    void refresh();

private:
    struct OpenBox {
        const Box* box;
        std::size_t focus;
    };
    void draw();
    bool fits() const;
    void handleKey(Form& form, const TerminalKey& key);
    void typeInto(Edit& edit, char c);
    void editKey(Edit& edit, const TerminalKey& key);

    Backend& backend_;
    TerminalInput& input_;
    std::unique_ptr<CursesScreen> screen_;
    std::vector<const Form*> forms_;  // bottom to top: the main window, then modal ones
    std::vector<OpenBox> boxes_;
    const Edit* selected_ = nullptr;  // a field whose whole text is selected, as on arrival
    Cursor cursor_ = Cursor::Default;
    bool dirty_ = true;
};

}  // namespace talvorin::ui
