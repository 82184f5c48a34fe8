#pragma once

#include <string>

#include "dbwork/step_window.h"
#include "ui/backend.h"
#include "ui/controls.h"

namespace talvorin::testing {

// The database steps' window over a widget backend, as the main window gives it: the status
// and progress go to a label and a progress bar when there are any.
class BackendStepWindow : public dbwork::StepWindow {
public:
    explicit BackendStepWindow(ui::Backend& ui, ui::Label* label = nullptr, ui::ProgressBar* progress = nullptr)
        : ui_(ui), label_(label), progress_(progress)
    {
    }

    void setStatus(const std::string& text) override
    {
        if (label_) label_->setCaption(text);
    }
    void setProgress(int position) override
    {
        if (progress_) progress_->setPosition(position);
    }
    void processMessages() override { ui_.processMessages(); }
    void waitFor(platform::WaitHandle handle) override { ui_.waitFor(handle); }
    bool quitRequested() const override { return ui_.quitRequested(); }
    platform::WindowHandle owner() const override { return ui_.mainWindow(); }

private:
    ui::Backend& ui_;
    ui::Label* label_;
    ui::ProgressBar* progress_;
};

}  // namespace talvorin::testing
