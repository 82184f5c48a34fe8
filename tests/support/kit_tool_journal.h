#pragma once

// The journal that the kit tool stand-in (kit_tool_standin, standing in for osql.exe and
// bcp.exe) appends to when KIT_TOOL_JOURNAL names a file. One record per run, written in
// one append so that runs at the same time do not mix:
//
//   run\n
//   program <n>:<n bytes>\n     the base name of argv[0]
//   cwd <n>:<n bytes>\n         the working directory
//   pid <n>:<n bytes>\n         the process id, in decimal
//   cmdline <n>:<n bytes>\n     Windows only: the command line exactly as received
//   arg <n>:<n bytes>\n         one per argument after argv[0], in order
//   fd <n>:<n bytes>\n          one per descriptor open at start: "<fd>=<target>"
//   end\n
//
// <n> is the decimal byte count of the value that follows the colon, so values may hold
// blanks, quotes, backslashes, line breaks or any other byte.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct KitToolRun {
    std::string program;
    std::vector<std::string> args;
    std::string workingDirectory;
    long pid = 0;
    std::vector<std::string> openFiles;      // "0=/dev/null", "1=/dev/null", ... (POSIX)
    std::optional<std::string> commandLine;  // GetCommandLineA() (Windows)
};

// Every record of the journal, oldest first; empty when the file does not exist. Throws
// std::runtime_error naming the file and the byte offset when a record is malformed or cut.
std::vector<KitToolRun> readKitToolJournal(const std::string& path);

// One record as the stand-in writes it.
inline std::string formatKitToolRun(const KitToolRun& run)
{
    std::string out = "run\n";
    const auto field = [&out](const char* name, const std::string& value) {
        out += name;
        out += ' ';
        out += std::to_string(value.size());
        out += ':';
        out += value;
        out += '\n';
    };
    field("program", run.program);
    field("cwd", run.workingDirectory);
    field("pid", std::to_string(run.pid));
    if (run.commandLine) field("cmdline", *run.commandLine);
    for (const std::string& arg : run.args) field("arg", arg);
    for (const std::string& file : run.openFiles) field("fd", file);
    out += "end\n";
    return out;
}

#ifdef KIT_TOOL_STANDIN
// Puts the stand-in where a kit tool is looked for (".../MigKit4/osql.exe"): a symbolic link on
// POSIX; a copy on Windows, which has no links for every user and names a program after its file.
inline void installKitToolStandin(const std::string& path)
{
#ifdef _WIN32
    std::filesystem::copy_file(KIT_TOOL_STANDIN, path, std::filesystem::copy_options::overwrite_existing);
#else
    std::filesystem::create_symlink(KIT_TOOL_STANDIN, path);
#endif
}
#endif
