#include "ui/handler_guard.h"

#include <exception>
#include <string>

namespace talvorin::ui {

void reportUncaughtFailure(Backend& backend) noexcept
{
    try {
        std::string text = "An unknown failure occurred";
        try {
            throw;
        } catch (const std::exception& e) {
            text = e.what();
        } catch (...) {
        }
        backend.messageBox(Box::applicationError(std::move(text)));
    } catch (...) {
        // Out of memory even for the box: going on beats ending the program here.
    }
}

}  // namespace talvorin::ui
