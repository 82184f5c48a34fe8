#pragma once
// What the kit tool stand-in needs from the operating system, one file per system
// (posix/kit_tool_standin_posix.cpp, win32/kit_tool_standin_win32.cpp).

#include <string>

#include "kit_tool_journal.h"

// How this run was started: program, arguments, working directory, process id, and what the
// system gives on top (the descriptors open at start on POSIX, the command line on Windows).
// Called first, before the stand-in opens anything itself.
KitToolRun observeThisRun(int argc, char** argv);

// Appends `bytes` to the file in one write, creating it when missing; "" or the system's reason.
std::string appendInOneWrite(const std::string& path, const std::string& bytes);

// Creates the file, or empties it; "" or the system's reason.
std::string createEmptyFile(const std::string& path);
