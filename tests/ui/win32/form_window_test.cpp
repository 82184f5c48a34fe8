// A form's window whose control cannot be created: the error names the control, and the
// controls made before it are taken down through nodes that are still there.
#include "ui/win32/form_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "ui/controls.h"
#include "ui/memory_backend.h"

namespace {
// While set, freed memory is overwritten first, as a debugging heap does, so that a use after
// free reads garbage (and crashes) instead of what happened to stay there.
bool scribbleFreedMemory = false;
}  // namespace

// The three together, so that every block is taken from and given back to the C heap.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t size) noexcept
{
    if (scribbleFreedMemory && p != nullptr) std::memset(p, 0xdd, size);
    std::free(p);
}
#pragma GCC diagnostic pop

namespace talvorin::ui {
namespace {

// Makes the system refuse to create any window of one class on this thread (a CBT hook).
class RefusedWindowClass {
public:
    explicit RefusedWindowClass(const char* name)
    {
        refused_ = name;
        hook_ = ::SetWindowsHookExA(WH_CBT, refuse, nullptr, ::GetCurrentThreadId());
    }
    ~RefusedWindowClass() { ::UnhookWindowsHookEx(hook_); }
    explicit operator bool() const { return hook_ != nullptr; }

private:
    static LRESULT CALLBACK refuse(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND) {
            const LPCSTR name = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
            if (!IS_INTRESOURCE(name) && ::lstrcmpiA(name, refused_) == 0) return 1;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline const char* refused_ = nullptr;
    HHOOK hook_;
};

TEST(FormWindow, AControlThatCannotBeCreatedFailsTheWindowAndTakesTheOthersDownSafely)
{
    MemoryBackend backend;
    Form form(backend, "frmBroken", "Broken");
    form.clientSize = {200, 100};
    Label first(form, "lblFirst", "made");
    Edit field(form, "edtRefused");
    Label last(form, "lblLast", "never made");
    const Cursor cursor = Cursor::Default;
    const RefusedWindowClass refused("EDIT");
    ASSERT_TRUE(refused);
    scribbleFreedMemory = true;
    try {
        FormWindow window(form, nullptr, cursor);
        ADD_FAILURE() << "the window was made without its edit";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The control edtRefused cannot be created: ", 0), 0u) << e.what();
    }
    scribbleFreedMemory = false;
}

}  // namespace
}  // namespace talvorin::ui
