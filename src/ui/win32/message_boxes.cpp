#include "ui/win32/message_boxes.h"

#include <commctrl.h>

#include <string>

#include "ui/unattended_text.h"

namespace talvorin::ui {
namespace {

constexpr UINT_PTR kEscapeSubclass = 1;
constexpr const char* kWhyUnattended = "unattended: no window can be shown";

// A system Yes/No box ignores the IDCANCEL that Escape sends it: make it No.
LRESULT CALLBACK escapeAnswersNo(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        return ::DefSubclassProc(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(::GetDlgItem(box, IDNO)));
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(box, escapeAnswersNo, kEscapeSubclass);
    return ::DefSubclassProc(box, message, wParam, lParam);
}

bool isYesNoBox(HWND window)
{
    char name[16] = {};
    ::GetClassNameA(window, name, sizeof name);
    return std::string(name) == "#32770" && ::GetDlgItem(window, IDNO) != nullptr &&
           ::GetDlgItem(window, IDCANCEL) == nullptr;
}

LRESULT CALLBACK watchActivations(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        // Subclassing again with the same procedure and id changes nothing.
        const auto window = reinterpret_cast<HWND>(wParam);
        if (isYesNoBox(window)) ::SetWindowSubclass(window, escapeAnswersNo, kEscapeSubclass, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// While it lives, every Yes/No box this thread shows answers Escape with No.
class EscapeMeansNo {
public:
    EscapeMeansNo() : hook_(::SetWindowsHookExA(WH_CBT, watchActivations, nullptr, ::GetCurrentThreadId())) {}
    ~EscapeMeansNo()
    {
        if (hook_) ::UnhookWindowsHookEx(hook_);
    }
    EscapeMeansNo(const EscapeMeansNo&) = delete;
    EscapeMeansNo& operator=(const EscapeMeansNo&) = delete;

private:
    HHOOK hook_;
};

UINT iconFlag(Icon icon)
{
    switch (icon) {
    case Icon::Warning: return MB_ICONWARNING;
    case Icon::Error: return MB_ICONERROR;
    case Icon::Information: return MB_ICONINFORMATION;
    case Icon::Question: return MB_ICONQUESTION;
    }
    return 0;
}

}  // namespace

Answer showMessageBox(HWND owner, const Box& box)
{
    const bool yesNo = box.buttons == Buttons::YesNo;
    const UINT flags = (yesNo ? MB_YESNO : MB_OK) | iconFlag(box.icon) | (owner ? MB_APPLMODAL : MB_TASKMODAL);
    const EscapeMeansNo escape;
    // The text goes as it is, its line-break characters included.
    switch (::MessageBoxA(owner, box.text.c_str(), box.caption.c_str(), flags)) {
    case IDOK: return Answer::Ok;
    case IDYES: return Answer::Yes;
    case IDNO: return Answer::No;
    default: return escapeAnswer(box.buttons);
    }
}

void writeUnattended(const std::string& text)
{
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;  // nobody to tell: the text is lost
    DWORD written = 0;
    ::WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void writeUnattendedBox(const Box& box)
{
    writeUnattended(unattendedBox(box, escapeAnswer(box.buttons), kWhyUnattended, "\r\n"));
}

void writeUnattendedDialog(const std::string& caption)
{
    writeUnattended(unattendedDialog(caption, kWhyUnattended, "\r\n"));
}

}  // namespace talvorin::ui
