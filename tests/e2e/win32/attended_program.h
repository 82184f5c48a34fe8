#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/handles.h"

namespace talvorin::testing {

// The built Talvorin.exe started with its real windows (TALVORIN_UNATTENDED removed from its
// environment), for a test to drive as a person would. Killed if still running at the end.
class AttendedProgram {
public:
    explicit AttendedProgram(const std::vector<std::string>& args);
    ~AttendedProgram();
    AttendedProgram(const AttendedProgram&) = delete;
    AttendedProgram& operator=(const AttendedProgram&) = delete;

    // The exit code once it has ended, waiting at most `timeout`; nullopt while it runs.
    std::optional<DWORD> wait(std::chrono::milliseconds timeout);
    // The program file as the program itself names it.
    static std::string path();

private:
    platform::UniqueHandle process_;
};

}  // namespace talvorin::testing
