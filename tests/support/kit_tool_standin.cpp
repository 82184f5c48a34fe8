// Stands in for the kit's osql.exe and bcp.exe in tests: install it under the tool's name (a
// link on POSIX, a copy on Windows). It does what the tests need to observe and nothing of the
// real tools:
//
//   KIT_TOOL_JOURNAL     file that receives one record of this run (kit_tool_journal.h)
//   KIT_TOOL_EXIT_CODES  rules "key=code;key=code;*=code": the first rule whose key occurs
//                        in any argument gives the exit code; "*" gives it when none does;
//                        0 when unset. A malformed rule ends the run with 125.
//   KIT_TOOL_SLEEP_MS    milliseconds to wait before exiting
//
// "-e <file>" (bcp's error file) creates that file, relative to the working directory.
// The arguments are those the C runtime gave main(); on Windows the journal also holds the
// command line exactly as the program received it.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kit_tool_journal.h"
#include "kit_tool_standin.h"

namespace {

constexpr int kBadRuleExit = 125;

std::optional<int> parseInt(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// nullopt when the rules are malformed.
std::optional<int> exitCodeFor(std::string_view rules, const std::vector<std::string>& args)
{
    std::optional<int> fallback;
    while (!rules.empty()) {
        const std::size_t semicolon = rules.find(';');
        const std::string_view rule = rules.substr(0, semicolon);
        rules = semicolon == std::string_view::npos ? std::string_view() : rules.substr(semicolon + 1);
        if (rule.empty()) continue;

        const std::size_t equals = rule.rfind('=');
        if (equals == std::string_view::npos || equals == 0) return std::nullopt;
        const std::string_view key = rule.substr(0, equals);
        const std::optional<int> code = parseInt(rule.substr(equals + 1));
        if (!code) return std::nullopt;

        if (key == "*") {
            if (!fallback) fallback = code;
            continue;
        }
        for (const std::string& arg : args)
            if (arg.find(key) != std::string::npos) return code;
    }
    return fallback.value_or(0);
}

void createErrorFiles(const std::vector<std::string>& args)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "-e") continue;
        if (const std::string failure = createEmptyFile(args[i + 1]); !failure.empty())
            std::fprintf(stderr, "kit_tool_standin: cannot create %s: %s\n", args[i + 1].c_str(), failure.c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const KitToolRun run = observeThisRun(argc, argv);

    if (const char* journal = std::getenv("KIT_TOOL_JOURNAL"); journal != nullptr && *journal != '\0') {
        if (const std::string failure = appendInOneWrite(journal, formatKitToolRun(run)); !failure.empty())
            std::fprintf(stderr, "kit_tool_standin: cannot append to %s: %s\n", journal, failure.c_str());
    }

    createErrorFiles(run.args);

    int exitCode = 0;
    if (const char* rules = std::getenv("KIT_TOOL_EXIT_CODES")) {
        const std::optional<int> code = exitCodeFor(rules, run.args);
        if (!code) {
            std::fprintf(stderr, "kit_tool_standin: malformed KIT_TOOL_EXIT_CODES: %s\n", rules);
            return kBadRuleExit;
        }
        exitCode = *code;
    }

    if (const char* sleepMs = std::getenv("KIT_TOOL_SLEEP_MS")) {
        const std::optional<int> ms = parseInt(sleepMs);
        if (ms && *ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(*ms));
    }
    return exitCode;
}
