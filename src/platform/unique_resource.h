#pragma once

#include <utility>

namespace talvorin::platform {

// Owns one system handle and closes it when it goes, the one shape for descriptors, ODBC
// handles, files to remove and, on Windows, HANDLE, HKEY and the like. Traits give:
//   using Handle = ...;                        // cheap to copy
//   static Handle invalid() noexcept;          // what "no handle" is
//   static void close(Handle) noexcept;        // called once for every valid handle
template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept : handle_(Traits::invalid()) {}
    explicit UniqueResource(Handle handle) noexcept : handle_(std::move(handle)) {}
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    const Handle& get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return !(handle_ == Traits::invalid()); }

    // Gives the handle up without closing it.
    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }

    // Closes the handle held (if any) and takes the new one.
    void reset(Handle handle = Traits::invalid()) noexcept
    {
        Handle old = std::exchange(handle_, std::move(handle));
        if (!(old == Traits::invalid())) Traits::close(std::move(old));
    }

    // For a function that returns a handle through an out-parameter: the old handle is
    // closed first, so nothing leaks when the object is reused.
    Handle* put() noexcept
    {
        reset();
        return &handle_;
    }

    friend void swap(UniqueResource& a, UniqueResource& b) noexcept
    {
        using std::swap;
        swap(a.handle_, b.handle_);
    }

private:
    Handle handle_;
};

}  // namespace talvorin::platform
