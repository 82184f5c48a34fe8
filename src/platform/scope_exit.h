#pragma once

#include <utility>

namespace talvorin::platform {

// Runs a function when the scope is left, however it is left, unless dismissed first:
//   auto undo = scopeExit([&] { ... });
//   ...
//   undo.dismiss();  // the step succeeded; keep what it did
template <typename F>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(F f) noexcept(noexcept(F(std::move(f)))) : f_(std::move(f)) {}
    ScopeExit(ScopeExit&& other) noexcept(noexcept(F(std::move(other.f_))))
        : f_(std::move(other.f_)), active_(std::exchange(other.active_, false))
    {
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ScopeExit& operator=(ScopeExit&&) = delete;
    ~ScopeExit()
    {
        if (active_) f_();
    }

    void dismiss() noexcept { active_ = false; }

private:
    F f_;
    bool active_ = true;
};

template <typename F>
[[nodiscard]] ScopeExit<F> scopeExit(F f)
{
    return ScopeExit<F>(std::move(f));
}

}  // namespace talvorin::platform
