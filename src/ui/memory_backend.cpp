#include "ui/memory_backend.h"

#include <algorithm>
#include <stdexcept>

#include "platform/wait.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/handler_guard.h"

namespace talvorin::ui {

void MemoryBackend::processMessages()
{
    ++processMessagesCalls;
    now_ += timePerProcessMessages;
    timers_.fireDue();
}

void MemoryBackend::waitFor(platform::WaitHandle handle)
{
    ++waits;
    if (onWait) onWait();
    if (quit_) return;
    // Real time passes here (a real child process runs); the virtual clock follows it,
    // jumping to the next timer when the handle stays quiet until then.
    const auto next = timers_.nextDue();
    const int timeoutMs = next ? static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, (*next - now_).count()))
                               : -1;
    const auto start = std::chrono::steady_clock::now();
    const int ready = platform::waitForAny({handle}, timeoutMs);
    if (ready == platform::kWaitFailed) throw std::runtime_error("The wait for a process handle failed");
    if (ready < 0 && next) {
        now_ = std::max(now_, *next);
    } else {
        now_ += std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
    timers_.fireDue();
}

Answer MemoryBackend::messageBox(const Box& box)
{
    Answer answer = escapeAnswer(box.buttons);
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    boxes.push_back({box, answer});
    return answer;
}

ModalResult MemoryBackend::showModal(Form& form)
{
    form.show();
    if (!dialogScripts.empty()) {
        auto script = std::move(dialogScripts.front());
        dialogScripts.pop_front();
        // The script is the person: what their input makes a handler raise is shown, as
        // the real front ends show it.
        dispatchGuarded(*this, [&] { script(form); });
    }
    ModalResult result = form.modalResult() == ModalResult::None ? ModalResult::Cancel : form.modalResult();
    form.setModalResult(result);
    modalShowings.push_back({form.name(), result});
    return result;
}

void MemoryBackend::run(Form& mainForm)
{
    while (!mainForm.isClosed()) {
        if (quit_) {
            mainForm.close();
            break;
        }
        const auto next = timers_.nextDue();
        if (!next) break;  // nothing can happen any more
        now_ = std::max(now_, *next);
        timers_.fireDue();
    }
}

std::optional<std::string> MemoryBackend::browseForFolder(const std::string& title)
{
    folderChooserTitles.push_back(title);
    if (folders.empty()) return std::nullopt;
    auto chosen = std::move(folders.front());
    folders.pop_front();
    return chosen;
}

Size MemoryBackend::windowSize(const Form& form) const
{
    return {form.clientSize.width + frame.width, form.clientSize.height + frame.height};
}

namespace {

// What the record keeps of each kind: a label's text and a progress bar's position.
class Recorder final : public ConstControlVisitor {
public:
    Recorder(MemoryBackend& backend, Change what) : backend_(backend), what_(what) {}
    void visit(const Label& l) override
    {
        if (what_ == Change::Caption) backend_.labelTexts.push_back({l.owner().name(), l.name(), l.caption()});
    }
    void visit(const ProgressBar& p) override
    {
        if (what_ == Change::Position) backend_.progress.push_back({p.owner().name(), p.name(), p.position()});
    }
    void visit(const Edit&) override {}
    void visit(const Button&) override {}
    void visit(const Image&) override {}
    void visit(const Shape&) override {}
    void visit(const GroupBox&) override {}

private:
    MemoryBackend& backend_;
    Change what_;
};

}  // namespace

void MemoryBackend::controlChanged(const Control& control, Change what)
{
    Recorder recorder(*this, what);
    control.accept(recorder);
}

void MemoryBackend::focusChanged(const Form& form, const Control* control)
{
    focusMoves.push_back({form.name(), control ? control->name() : std::string{}});
}

}  // namespace talvorin::ui
