// A tool for the wait benchmark: sleeps, then writes the performance counter to a file as
// its last act, so that the runner can tell how late it noticed the end.
//
//   sleep_stamp <milliseconds> <file>
#include <cstdio>
#include <cstdlib>

#include "platform/win32/windows_api.h"

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    ::Sleep(static_cast<DWORD>(std::atoi(argv[1])));
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    std::FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) return 1;
    std::fprintf(out, "%lld\n", static_cast<long long>(counter.QuadPart));
    return std::fclose(out) == 0 ? 0 : 1;
}
