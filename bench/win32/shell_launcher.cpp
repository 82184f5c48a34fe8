// The least a Windows program can do to run a tool N times: ShellExecuteExA, hidden, and a
// blocking wait, nothing else. The script benchmark compares the program's cost per script
// with this one's cost per start.
//
//   shell_launcher <count> <program>      the parameters in BENCH_TOOL_PARAMETERS
#include <cstdlib>
#include <string>

#include "platform/win32/windows_api.h"

#include <shellapi.h>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const int count = std::atoi(argv[1]);
    const char* parameters = std::getenv("BENCH_TOOL_PARAMETERS");
    for (int i = 0; i < count; ++i) {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.lpFile = argv[2];
        info.lpParameters = parameters;
        info.nShow = SW_HIDE;
        if (!::ShellExecuteExA(&info) || info.hProcess == nullptr) return 1;
        ::WaitForSingleObject(info.hProcess, INFINITE);
        ::CloseHandle(info.hProcess);
    }
    return 0;
}
