#include "platform/worker.h"

#include <system_error>
#include <thread>

#include "platform/win32/handles.h"

namespace talvorin::platform {

struct CompletionSignal::Handles {
    UniqueHandle event;
};

CompletionSignal::CompletionSignal() : handles_(std::make_unique<Handles>())
{
    handles_->event.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!handles_->event)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateEvent");
}

CompletionSignal::~CompletionSignal() = default;

void CompletionSignal::set() noexcept
{
    if (set_.exchange(true, std::memory_order_acq_rel)) return;
    ::SetEvent(handles_->event.get());
}

WaitHandle CompletionSignal::handle() const noexcept { return handles_->event.get(); }

Worker::Worker(std::function<void()> work) : thread_(std::move(work)) {}

}  // namespace talvorin::platform
