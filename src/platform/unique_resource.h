#pragma once

#include <utility>

namespace talvorin::platform {

// Owns one system resource and releases it when it goes. Traits name the handle type,
// the value that owns nothing, and how to release.
template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept : handle_(Traits::invalid()) {}
    explicit UniqueResource(Handle h) noexcept : handle_(h) {}
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }
    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) noexcept
    {
        const Handle old = std::exchange(handle_, h);
        if (old != Traits::invalid()) Traits::close(old);
    }
    // For out-parameters: releases what is owned and hands out the place to store the new one.
    Handle* put() noexcept
    {
        reset();
        return &handle_;
    }

private:
    Handle handle_;
};

}  // namespace talvorin::platform
